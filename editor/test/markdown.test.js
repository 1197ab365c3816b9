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
        ['$ x$', null],
        ['\\(never closed', null],
        ['\\begin{equation} x', null],
    ])
        assert.deepEqual(scanMath(text, 0), expected, text);
});

test('the dialect renders maths, tabulars and molecules as slots in document order', () => {
    const text = 'Inline $a$ and \\(b\\).\n\n\\[\nc\n\n\\]\n\n\\begin{tabular}{cc} $d$ & e \\\\ \\end{tabular}\n\n'
        + '```smiles\nCCO\nc1ccccc1\n```\n\nTag <smiles>O</smiles> and \\begin{equation} f \\end{equation}';
    const { html, slots, tables } = renderMarkdown(md, text);
    assert.deepEqual(slots.map((s) => (s.kind === 'math' ? `${s.tex.trim()}:${s.display}` : s.smiles)),
        ['a:false', 'b:false', 'c:true', 'd:false', 'CCO', 'c1ccccc1', 'O', '\\begin{equation} f \\end{equation}:true']);
    assert.equal(tables.length, 1);
    assert.equal(tables[0].tabular, true);
    assert.match(html, /<table>/);
    assert.doesNotMatch(html, /\$/);
});

test('slots carry a class of their own rendering that the text cannot guess', () => {
    const first = renderMarkdown(md, '$x$');
    const second = renderMarkdown(md, '$x$');
    assert.notEqual(first.slotClass, second.slotClass);
    assert.match(first.html, new RegExp(`class="${first.slotClass}" data-zq-slot="0"`));
});

test('Markdown tables and tabulars are listed in document order', () => {
    const text = '| A |\n|---|\n| 1 |\n\nText \\begin{tabular}{c} x \\end{tabular}\n\n| B |\n|---|\n| 2 |\n';
    const { tables } = renderMarkdown(md, text);
    assert.deepEqual(tables.map((t) => t.tabular), [false, true, false]);
});

test('a smiles tag on lines of its own and bare matrices are recognised', () => {
    const { slots } = renderMarkdown(md, '<smiles>\nCCO\n</smiles>\n\n\\begin{pmatrix} a & b \\end{pmatrix}\n');
    assert.deepEqual(slots.map((s) => s.smiles || s.tex), ['CCO', '\\begin{pmatrix} a & b \\end{pmatrix}']);
    assert.equal(slots[0].inline, false);
});

test('maths inside code stays code', () => {
    const { slots, html } = renderMarkdown(md, 'Use `$x$` or\n\n```\n\\[y\\]\n```\n');
    assert.equal(slots.length, 0);
    assert.match(html, /\$x\$/);
});
