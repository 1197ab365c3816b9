// Seeded random and pathological inputs: the readers of recognised text must neither throw
// (other than the XML reader's documented errors) nor slow down beyond linear work.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { mathmlToAsciiMath } from '../src/asciimath.js';
import { createMarkdown, renderMarkdown } from '../src/markdown.js';
import { grid, toCsv, toHtml, toMarkdown, toTsv } from '../src/table.js';
import { findTabular, parseTabular } from '../src/tabular.js';
import { mathmlToWordMathml } from '../src/wordmathml.js';

function random(seed) {
    let state = seed >>> 0;
    return () => {
        state = (state * 1664525 + 1013904223) >>> 0;
        return state / 4294967296;
    };
}

const PIECES = ['\\begin{tabular}{|c|l|}', '\\end{tabular}', '\\\\', '&', '\\hline', '\\multicolumn{2}{c}{',
    '\\multirow{3}{*}{', '{', '}', '$', '$$', '\\(', '\\)', '\\[', '\\]', '\\begin{align}', '\\end{align}', '<smiles>',
    '</smiles>', '```smiles\n', '```\n', '| a | b |\n|---|---|\n', '\n\n', '\n', ' ', 'x', '\\', '"', ',', '<', '>',
    '<math><mi>', '</mi></math>', '<mfrac>', '</mfrac>', '&amp;', '&#x3B1;', '*', '_', '[', ']', '(', ')'];

function randomText(next, length) {
    let text = '';
    for (let i = 0; i < length; i++)
        text += PIECES[Math.floor(next() * PIECES.length)];
    return text;
}

test('random dialect texts render without throwing and keep table formats consistent', () => {
    const md = createMarkdown();
    const next = random(20240601);
    for (let round = 0; round < 400; round++) {
        const text = randomText(next, 1 + Math.floor(next() * 60));
        const { tables } = renderMarkdown(md, text);
        for (const { table } of tables) {
            const rows = grid(table);
            assert.equal(toTsv(table).split('\n').length, Math.max(rows.length, 1));
            toCsv(table);
            toHtml(table);
            toMarkdown(table);
        }
        const found = findTabular(text);
        if (found)
            parseTabular(found.columns, found.body);
    }
});

test('random markup either converts or fails with an error', () => {
    const next = random(7);
    for (let round = 0; round < 400; round++) {
        const markup = `<math>${randomText(next, 1 + Math.floor(next() * 20))}</math>`;
        for (const convert of [mathmlToAsciiMath, mathmlToWordMathml]) {
            try {
                assert.equal(typeof convert(markup), 'string');
            } catch (error) {
                assert.ok(error instanceof Error, String(error));
            }
        }
    }
});

test('texts full of unclosed delimiters and tags still render', () => {
    const md = createMarkdown();
    for (const unit of ['$5 ', '\\( ', '\\[ ', '<smiles>', '\\begin{tabular}{c} ', '\\begin{tabular}{', '$$ ',
        '\\begin{equation} ']) {
        const { html } = renderMarkdown(md, unit.repeat(20000));
        assert.ok(html.length > 0, unit);
    }
});
