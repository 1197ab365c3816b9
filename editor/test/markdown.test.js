import assert from 'node:assert/strict';
import { test } from 'node:test';

import { createMarkdown, renderMarkdown, scanMath } from '../src/markdown.js';

const md = createMarkdown();

test('maths delimiters are found with their TeX and display mode; money and unclosed ones are not', () => {
    const env = '\\begin{align*} a &= b \\end{align*}';
    for (const [text, expected] of [
        ['\\(a+b\\) rest', { end: 7, tex: 'a+b', display: false }],
        ['\\[x\\]', { end: 5, tex: 'x', display: true }],
        ['$$x$$', { end: 5, tex: 'x', display: true }],
        ['$x^2$.', { end: 5, tex: 'x^2', display: false }],
        ['$a\\$b$', { end: 6, tex: 'a\\$b', display: false }],
        [env, { end: env.length, tex: env, display: true }],
        ['$5 and $6', null],
        ['$5,$6 each', null],
        ['$ x$', null],
        ['\\(never closed', null],
        ['\\begin{equation} x', null],
    ])
        assert.deepEqual(scanMath(text, 0), expected, text);
});

test('the dialect renders maths, tabulars, tables and molecules as slots in document order', () => {
    const text = 'Inline $a$ and \\(b\\), code `$x$`.\n\n\\[\nc\n\n\\]\n\n| A | B |\n|---|---|\n| $|x|$ | \\(|y|\\) |\n\n'
        + '\\begin{tabular}{cc} $d$ & e \\\\ \\end{tabular}\n\n```smiles\nCCO\nc1ccccc1\n```\n\n'
        + 'Tag <smiles>O</smiles> and \\begin{equation} f \\end{equation}\n\n<smiles>\nN\n</smiles>\n\n'
        + '\\begin{pmatrix} g \\end{pmatrix}\n\n```\n\\[y\\]\n```\n';
    const { html, slots, tables } = renderMarkdown(md, text);
    assert.deepEqual(slots.map((s) => (s.kind === 'math' ? `${s.tex.trim()}:${s.display}` : s.smiles)),
        ['a:false', 'b:false', 'c:true', '|x|:false', '|y|:false', 'd:false', 'CCO', 'c1ccccc1', 'O',
            '\\begin{equation} f \\end{equation}:true', 'N', '\\begin{pmatrix} g \\end{pmatrix}:true']);
    assert.equal(slots[10].inline, false);
    assert.deepEqual(tables.map((t) => t.tabular), [false, true]);
    assert.deepEqual(tables[0].table.rows[1].map((cell) => cell.text), ['$|x|$', '\\(|y|\\)']);
    assert.notEqual(renderMarkdown(md, '$x$').slotClass, renderMarkdown(md, '$x$').slotClass);
    assert.match(html, /<code>\$x\$<\/code>[\s\S]*\\\[y\\\]/);
});
