import assert from 'node:assert/strict';
import { test } from 'node:test';
import MarkdownIt from 'markdown-it';

import { grid, makeCell, tableFromTokens, toCsv, toHtml, toMarkdown, toTsv } from '../src/table.js';
import { cellText, findTabular, parseColumnSpec, parseTabular } from '../src/tabular.js';

function tabular(source) {
    const found = findTabular(source);
    assert.ok(found, 'tabular found');
    return parseTabular(found.columns, found.body);
}

test('CSV quotes only the fields that need it, RFC 4180 style', () => {
    const table = { rows: [[makeCell('plain'), makeCell('a,b'), makeCell('say "hi"')], [makeCell('two\nlines'),
        makeCell(''), makeCell('cr\rhere')]] };
    assert.equal(toCsv(table), 'plain,"a,b","say ""hi"""\r\n"two\nlines",,"cr\rhere"');
});

test('TSV flattens tabs and line breaks inside cells', () => {
    const table = { rows: [[makeCell('a\tb'), makeCell('c\r\nd')], [makeCell(''), makeCell('e')]] };
    assert.equal(toTsv(table), 'a b\tc d\n\te');
});

test('spans lay out as empty cells in the grid', () => {
    const table = { rows: [[makeCell('wide', 2), makeCell('tall', 1, 2)], [makeCell('x'), makeCell('y')]] };
    assert.deepEqual(grid(table), [['wide', '', 'tall'], ['x', 'y', '']]);
    // A span reaching past the table adds no rows.
    assert.deepEqual(grid({ rows: [[makeCell('a', 1, 5)]] }), [['a']]);
    assert.deepEqual(grid({ rows: [] }), []);
});

test('Markdown tables escape pipes and line breaks and keep alignment', () => {
    const table = { rows: [[makeCell('a|b'), makeCell('c')], [makeCell('line\nbreak'), makeCell('')]],
        align: ['center', 'right'] };
    assert.equal(toMarkdown(table), '| a\\|b | c |\n|:---:|---:|\n| line<br>break | |');
});

test('HTML escapes cell text and places alignment by column under spans', () => {
    const table = { rows: [[makeCell('<b>&', 1, 2), makeCell('x')], [makeCell('y')]], align: ['left', 'right'] };
    assert.equal(toHtml(table), '<table><tr><td rowspan="2" style="text-align: left">&lt;b&gt;&amp;</td>'
        + '<td style="text-align: right">x</td></tr><tr><td style="text-align: right">y</td></tr></table>');
});

test('a tabular reads into rows, cells and alignments', () => {
    const table = tabular(String.raw`Before \begin{tabular}[t]{|l|c|r|}
\hline
Name & Value, with comma & "q" \\ \hline
\multicolumn{2}{|c|}{\textbf{Sum}} & $x^2 \& y$ \\[2pt]
\multirow{2}{*}{tall} & a\&b & 50\% \\
 & \emph{it} & \\
\hline
\end{tabular} after`);
    assert.deepEqual(table.align, ['left', 'center', 'right']);
    assert.deepEqual(grid(table), [
        ['Name', 'Value, with comma', '"q"'],
        ['Sum', '', '$x^2 \\& y$'],
        ['tall', 'a&b', '50%'],
        ['', 'it', ''],
    ]);
    assert.equal(table.rows[1][0].colspan, 2);
    assert.equal(table.rows[2][0].rowspan, 2);
});

test('cell separators inside maths, braces and nested environments stay in the cell', () => {
    const table = tabular(String.raw`\begin{tabular}{cc}
$\begin{array}{cc} 1 & 2 \\ 3 & 4 \end{array}$ & {a & b} \\
\( p & q \) & last
\end{tabular}`);
    assert.deepEqual(grid(table), [
        ['$\\begin{array}{cc} 1 & 2 \\\\ 3 & 4 \\end{array}$', '{a & b}'],
        ['\\( p & q \\)', 'last'],
    ]);
});

test('empty cells, empty rows and a missing final row break survive', () => {
    const table = tabular(String.raw`\begin{tabular}{ccc} & & \\ a & & c \end{tabular}`);
    assert.deepEqual(grid(table), [['', '', ''], ['a', '', 'c']]);
});

test('column specs expand repeats and skip widths and decorations', () => {
    assert.deepEqual(parseColumnSpec('|*{3}{c}|p{2cm}@{\\,}r'), ['center', 'center', 'center', 'left', 'right']);
    assert.deepEqual(parseColumnSpec('*{100000}{c}').length, 100);
});

test('unclosed or nested tabulars are handled without losing text', () => {
    assert.equal(findTabular(String.raw`\begin{tabular}{c} a \\`), null);
    const outer = findTabular(String.raw`\begin{tabular}{c} \begin{tabular}{c} in \end{tabular} \\ \end{tabular}!`);
    assert.ok(outer.body.includes('\\begin{tabular}{c} in \\end{tabular}'));
});

test('cell text unwraps text commands and keeps maths as written', () => {
    assert.equal(cellText(String.raw` \textit{x}~$\frac{a}{b}\%$ \_ `), 'x $\\frac{a}{b}\\%$ _');
});

test('a Markdown table reads from markdown-it tokens with its alignment', () => {
    const tokens = new MarkdownIt().parse('| A | B | C |\n|:--|:-:|--:|\n| 1 | `x` |  |\n', {});
    const table = tableFromTokens(tokens.slice(tokens.findIndex((t) => t.type === 'table_open')));
    assert.deepEqual(table.align, ['left', 'center', 'right']);
    assert.deepEqual(grid(table), [['A', 'B', 'C'], ['1', '`x`', '']]);
    assert.equal(toCsv(table), 'A,B,C\r\n1,`x`,');
});
