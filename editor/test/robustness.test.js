// Seeded random and pathological inputs: the readers of recognised text must neither throw
// (other than the XML reader's documented errors) nor slow down beyond linear work.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { mathmlToAsciiMath } from '../src/asciimath.js';
import { createMarkdown, renderMarkdown } from '../src/markdown.js';
import { toCsv, toHtml, toMarkdown, toTsv } from '../src/table.js';
import { mathmlToWordMathml } from '../src/wordmathml.js';

const PIECES = ['\\begin{tabular}{|c|l|}', '\\end{tabular}', '\\\\', '&', '\\hline', '\\multicolumn{2}{c}{',
    '\\multirow{3}{*}{', '{', '}', '$', '$$', '\\(', '\\)', '\\[', '\\]', '\\begin{align}', '\\end{align}', '<smiles>',
    '</smiles>', '```smiles\n', '```\n', '| a | b |\n|---|---|\n', '\n\n', '\n', ' ', 'x', '\\', '"', ',', '<', '>',
    '<math><mi>', '</mi></math>', '<mfrac>', '</mfrac>', '&amp;', '&#x3B1;', '*', '_', '[', ']', '(', ')'];

test('random texts render, random markup converts or fails with an error', () => {
    const md = createMarkdown();
    let state = 20240601;
    const next = () => (state = (state * 1664525 + 1013904223) >>> 0) / 4294967296;
    const text = (length) => Array.from({ length }, () => PIECES[Math.floor(next() * PIECES.length)]).join('');
    for (let round = 0; round < 400; round++) {
        for (const { table } of renderMarkdown(md, text(1 + Math.floor(next() * 60))).tables)
            [toCsv, toTsv, toHtml, toMarkdown].forEach((write) => assert.equal(typeof write(table), 'string'));
        const markup = `<math>${text(1 + Math.floor(next() * 20))}</math>`;
        for (const convert of [mathmlToAsciiMath, mathmlToWordMathml]) {
            try {
                assert.equal(typeof convert(markup), 'string');
            } catch (error) {
                assert.ok(error instanceof Error, String(error));
            }
        }
    }
    assert.throws(() => mathmlToAsciiMath('<math><mi>x</math>'));
    assert.throws(() => mathmlToAsciiMath('<math><mi>x</mi>'));
    assert.throws(() => mathmlToAsciiMath(''));
});

test('texts full of unclosed delimiters and tags still render', () => {
    const md = createMarkdown();
    for (const unit of ['$5 ', '\\( ', '\\[ ', '<smiles>', '\\begin{tabular}{c} ', '\\begin{tabular}{', '$$ ',
        '\\begin{equation} '])
        assert.ok(renderMarkdown(md, unit.repeat(20000)).html.length > 0, unit);
});
