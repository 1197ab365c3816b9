// The formula corpus through the page's TeX engine and converters, against MathJax with every package:
// what MathJax accepts renders with every formula format on a first and a repeated show (but what needs
// a package the page leaves out), and the AsciiMath, read back by MathJax's AsciiMath input, has the
// structure of the page's MathML. Prints the rates; fails below 99% and 95%.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { test } from 'node:test';
import { liteAdaptor } from 'mathjax-full/js/adaptors/liteAdaptor.js';
import { AsciiMath } from 'mathjax-full/js/input/asciimath.js';
import { AllPackages } from 'mathjax-full/js/input/tex/AllPackages.js';

import * as modules from '../src/mathjax-engine.js';
import { createTexEngine, PACKAGES } from '../src/texengine.js';
import { elementChildren as kidsOf, localName, parseXml, textContent } from '../src/xml.js';

const { mathjax, TeX, STATE } = modules;
const engine = createTexEngine(modules, liteAdaptor(), '');
const corpus = readFileSync(new URL('corpus/katex-ss.jsonl', import.meta.url), 'utf8').trim().split('\n').map(JSON.parse);
const ALL = AllPackages.filter((name) => !['noerrors', 'noundefined'].includes(name));
const asciiMath = mathjax.document('', { InputJax: new AsciiMath({}) });
const mathml = (doc, text, display) =>
    new modules.SerializedMmlVisitor().visitTree(doc.convert(text, { display, end: STATE.COMPILED }));

function accepts(packages, { tex, display }) {
    let failed = false;
    const InputJax = new TeX({ packages, formatError: (jax, error) => { failed = true; return jax.formatError(error); } });
    mathml(mathjax.document('', { InputJax, OutputJax: new modules.SVG() }), tex, display);
    return !failed;
}

// Structure without grouping, spacing, bracket forms, token kinds or empty scripts and cells; letters
// keep a font that draws them distinctly.
const SAME = { '\u00af': '\u203e', '\u2223': '|', '\u2217': '*', '\u2032': "'", '\u2033': "' '", '\u2212': '-',
    '\u2026': '. . .', '\u2329': '\u27e8', '\u232a': '\u27e9', '\u27f6': '\u2192', '\u27f5': '\u2190', '\u27f9': '\u21d2' };
const FONTS = { 'bold-italic': 'bb', bold: 'bb', 'double-struck': 'bbb', script: 'cc', fraktur: 'fr', 'sans-serif': 'sf',
    monospace: 'tt' };
function shape(node, font = '') {
    const name = localName(node);
    const own = node.attrs.mathvariant !== undefined ? FONTS[node.attrs.mathvariant] || '' : font;
    if (['mi', 'mn', 'mo', 'mtext', 'ms'].includes(name))
        return Array.from(textContent(node).replace(/[\s\u200b-\u200f\u2061-\u2064]/g, ''))
            .map((ch) => (SAME[ch] ?? ch) + (/[A-Za-z0-9]/.test(ch) && /^m[in]$/.test(name) ? own : ''));
    const rows = kidsOf(node).filter((kid) => /^m(labeled)?tr$/.test(localName(kid)));
    if (name === 'mtable' && rows.length === 1 && kidsOf(rows[0]).length === 1 + (localName(rows[0]) !== 'mtr'))
        return shape(kidsOf(rows[0]).at(-1), own).slice(1, -2); // one cell alone is no table
    if (/^(mspace|annotation|none|mprescripts|mphantom)/.test(name))
        return [];
    const parts = kidsOf(node).map((kid) => shape(kid, own));
    const wrap = (tag, ...list) => [`${tag}(`, ...list.flatMap((part) => [...part, ',']), ')'];
    if (/^m(sub|sup|under|over)/.test(name) && parts.slice(1).every((part) => !part.length))
        return parts[0];
    if (name === 'mfrac' && node.attrs.linethickness === '0')
        return wrap('mtable', ...parts.map((part) => wrap('mtr', wrap('mtd', part))));
    if (/^m(sub|under|sup|over)$/.test(name))
        return wrap(/^m(sub|under)$/.test(name) ? 'sub' : 'sup', ...parts);
    if (/^m(subsup|underover)$/.test(name))
        return !parts[1].length || !parts[2].length
            ? wrap(parts[1].length ? 'sub' : 'sup', parts[0], [...parts[1], ...parts[2]]) : wrap('sup', wrap('sub', parts[0], parts[1]), parts[2]);
    if (['msqrt', 'mtd'].includes(name) || (name === 'menclose' && /strike/.test(node.attrs.notation)))
        return wrap(name, parts.flat());
    while (name.endsWith('tr') && parts.length && parts.at(-1).length === 3)
        parts.pop();
    if (['mfrac', 'mroot', 'mtable', 'mtr', 'mlabeledtr'].includes(name))
        return wrap(name === 'mlabeledtr' ? 'mtr' : name, ...parts.slice(name === 'mlabeledtr' ? 1 : 0));
    return parts.flat();
}
const key = (text) => shape(parseXml(text)).join(' ');

// Every formula format of one show, or null.
function show(formula) {
    const found = {};
    engine.beginText();
    const rendered = engine.render(formula.tex, formula.display);
    engine.formats({ ...formula, ...rendered }, { mathml: true, mathmlword: true, asciimath: true, svg: true },
        (type, value) => (found[type] = value));
    const needed = found.mathml && key(found.mathml) ? 4 : 3; // rules and spaces alone have no AsciiMath
    return !rendered.error && Object.values(found).filter(Boolean).length === needed ? found : null;
}

function readsBack(found) {
    try {
        return key(found.mathml) === key(mathml(asciiMath, found.asciimath || ''));
    } catch (error) {
        return false; // the reader gave up on it
    }
}

test('what MathJax accepts renders with its formats every time, and its AsciiMath reads back', () => {
    const needs = {};
    const counted = corpus.filter((formula) => {
        if (accepts(PACKAGES, formula) || !accepts(ALL, formula))
            return accepts(PACKAGES, formula);
        const name = ALL.find((left) => !PACKAGES.includes(left) && accepts([...PACKAGES, left], formula)) || 'several';
        (needs[name] = needs[name] || []).push(formula.id);
        return false;
    });
    const first = counted.map(show).filter(Boolean);
    const again = counted.map(show).filter(Boolean);
    const alike = first.filter(readsBack);
    const rate = (part, whole) => `${part.length}/${whole.length} (${(100 * part.length / whole.length).toFixed(1)}%)`;
    console.log(`Left out for their packages: ${JSON.stringify(needs)}`);
    console.log(`Rendered with every format: first show ${rate(first, counted)}, again ${rate(again, counted)}; `
        + `AsciiMath read back alike: ${rate(alike, first)}`);
    assert.ok(first.length >= 0.99 * counted.length && again.length >= 0.99 * counted.length);
    assert.ok(alike.length >= 0.95 * first.length);
});

test('a failing format costs only itself', () => {
    const found = [];
    engine.formats({ tex: ' x ', item: {} }, { mathml: true, latex: true, svg: true }, (type) => found.push(type));
    assert.deepEqual(found, ['latex']);
});
