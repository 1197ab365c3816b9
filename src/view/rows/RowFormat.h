#pragma once

// What a result row shows. The values are stored in rows and compared as ints, so they stay fixed.
enum RowFormat : int {
    Latex = 0,
    Text = 1,
    LatexBlock = 2,
    LatexBlockNumbered = 3,
    LatexBlockCustom = 4,
    Smiles = 5,
    // MOL, InChI and InChI key: no key of their own is reported yet.
    Chemistry = 6,
    TableMarkdown = 7,
    ExportToDoc = 8,
    MathmlWord = 9,
    Mathml = 10,
    Asciimath = 11,
    Svg = 12,
    Html = 13,
    Tsv = 14,
    Csv = 15,
    RawUrl = 16,
    MarkdownUrl = 17,
    HtmlUrl = 18,
};
