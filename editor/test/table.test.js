import assert from 'node:assert/strict';
import { test } from 'node:test';
import MarkdownIt from 'markdown-it';

import { grid, makeCell, tableFromTokens, toCsv, toHtml, toMarkdown, toTsv } from '../src/table.js';
import { findTabular, parseColumnSpec, parseTabular } from '../src/tabular.js';

const cells = (rows) => ({ rows: rows.map((row) => row.map((text) => makeCell(text))), align: ['center', 'right'] });

test('the writers quote and escape what their format needs', () => {
    const table = cells([['plain', 'a,b', 'say "hi"', 'a|b'], ['two\nlines', '', 'cr\rhere', 'tab\there']]);
    // CSV quotes only the fields that need it, RFC 4180 style.
    assert.equal(toCsv(table), 'plain,"a,b","say ""hi""",a|b\r\n"two\nlines",,"cr\rhere",tab\there');
    // TSV quotes as spreadsheets do on their clipboard.
    assert.equal(toTsv(table), 'plain\ta,b\t"say ""hi"""\ta|b\n"two\nlines"\t\t"cr\rhere"\t"tab\there"');
    assert.equal(toMarkdown(table), '| plain | a,b | say "hi" | a\\|b |\n|:---:|---:|---|---|\n'
        + '| two<br>lines | | cr\rhere | tab\there |');
    const spans = { rows: [[makeCell('<b>&', 1, 2), makeCell('x')], [makeCell('y')]], align: ['left', 'right'] };
    assert.equal(toHtml(spans), '<table><tr><td rowspan="2" style="text-align: left">&lt;b&gt;&amp;</td>'
        + '<td style="text-align: right">x</td></tr><tr><td style="text-align: right">y</td></tr></table>');
});

test('spans lay out as empty cells in the grid, and a span past the table adds no rows', () => {
    const table = { rows: [[makeCell('wide', 2), makeCell('tall', 1, 2)], [makeCell('x'), makeCell('y')]] };
    assert.deepEqual(grid(table), [['wide', '', 'tall'], ['x', 'y', '']]);
    assert.deepEqual(grid({ rows: [[makeCell('a', 1, 5)]] }), [['a']]);
});

const TABULARS = [
    [String.raw`Before \begin{tabular}[t]{|l|c|r|}
\hline
Name & Value, with comma & "q" \\ \hline
\multicolumn{2}{|c|}{\textbf{Sum}} & $x^2 \& y$ \\[2pt]
\multirow{2}{*}{tall} & a\&b & 50\% \\
 & \emph{it} & \\
\hline
\end{tabular} after`, [['Name', 'Value, with comma', '"q"'], ['Sum', '', '$x^2 \\& y$'], ['tall', 'a&b', '50%'],
        ['', 'it', '']]],
    // Separators inside maths, braces and nested environments stay in the cell.
    [String.raw`\begin{tabular}{cc}
$\begin{array}{cc} 1 & 2 \\ 3 & 4 \end{array}$ & {a & b} $c & d$ \\
\( p & q \) & last
\end{tabular}`, [['$\\begin{array}{cc} 1 & 2 \\\\ 3 & 4 \\end{array}$', '{a & b} $c & d$'], ['\\( p & q \\)', 'last']]],
    [String.raw`\begin{tabular}{ccc} & & \\ a & & c \end{tabular}`, [['', '', ''], ['a', '', 'c']]],
    [String.raw`\begin{tabular}{c} \textit{x}~$\frac{a}{b}\%$ \_\ y \end{tabular}`, [['x $\\frac{a}{b}\\%$ _ y']]],
];

test('tabulars read into rows and cells', () => {
    for (const [source, expected] of TABULARS) {
        const found = findTabular(source);
        assert.deepEqual(grid(parseTabular(found.columns, found.body)), expected, source);
    }
    const found = findTabular(TABULARS[0][0]);
    const table = parseTabular(found.columns, found.body);
    assert.deepEqual(table.align, ['left', 'center', 'right']);
    assert.deepEqual([table.rows[1][0].colspan, table.rows[2][0].rowspan], [2, 2]);
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

test('a Markdown table reads from markdown-it tokens with its alignment', () => {
    const tokens = new MarkdownIt().parse('| A | B | C |\n|:--|:-:|--:|\n| 1 | `x` |  |\n', {});
    const table = tableFromTokens(tokens.slice(tokens.findIndex((t) => t.type === 'table_open')));
    assert.deepEqual(table.align, ['left', 'center', 'right']);
    assert.deepEqual(grid(table), [['A', 'B', 'C'], ['1', '`x`', '']]);
});
