// Each formula corpus (corpus/*.jsonl) through the page's TeX engine and converters, against MathJax
// with every package: what MathJax accepts renders with every formula format on a first and a repeated
// show (but what needs a package the page leaves out), and the AsciiMath, read back by MathJax's
// AsciiMath input, has the structure of the page's MathML. Prints the rates and the formulas that read
// back otherwise; fails below 99% and 95% on any corpus.
import assert from 'node:assert/strict';
import { readdirSync, readFileSync } from 'node:fs';
import { test } from 'node:test';
import { liteAdaptor } from 'mathjax-full/js/adaptors/liteAdaptor.js';
import { AsciiMath } from 'mathjax-full/js/input/asciimath.js';
import { AllPackages } from 'mathjax-full/js/input/tex/AllPackages.js';

import * as modules from '../src/mathjax-engine.js';
import { createTexEngine, PACKAGES } from '../src/texengine.js';
import { elementChildren as kidsOf, localName, parseXml, textContent } from '../src/xml.js';

const { mathjax, TeX, STATE } = modules;
const engine = createTexEngine(modules, liteAdaptor(), '');
const folder = new URL('corpus/', import.meta.url);
const corpora = readdirSync(folder).filter((name) => name.endsWith('.jsonl')).sort()
    .map((name) => [name, readFileSync(new URL(name, folder), 'utf8').trim().split('\n').map(JSON.parse)]);
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
    '\u2026': '. . .', '\u2329': '\u27e8', '\u232a': '\u27e9', '\u27f6': '\u2192', '\u27f5': '\u2190', '\u27f9': '\u21d2',
    '\u02d9': '.', '\u00a8': '. .', '\u2015': '\u203e', '\u0332': '\u203e' };
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

// TeX puts a script after brackets on the closing one, AsciiMath on the bracketed group; both draw
// alike, so the group becomes the script's base.
const PARTNER = { ')': '([{\u27e8', ']': '([{\u27e8', '}': '([{\u27e8', '\u27e9': '([{\u27e8', '\u232a': '\u2329', '|': '|',
    '\u2016': '\u2016', '\u230b': '\u230a', '\u2309': '\u2308' };
const bracketOf = (node) => (localName(node) === 'mo' ? textContent(node).trim()
    : localName(node) === 'mrow' && kidsOf(node).length === 1 ? bracketOf(kidsOf(node)[0]) : '');
function scriptGroups(node) {
    if (typeof node === 'string')
        return node;
    const kids = [];
    for (const kid of node.children.map(scriptGroups)) {
        const close = typeof kid !== 'string' && /^m(sub|sup|subsup)$/.test(localName(kid)) ? bracketOf(kidsOf(kid)[0]) : '';
        let at = PARTNER[close] ? kids.length - 1 : -1;
        for (let depth = 0; at >= 0; at--) {
            const text = typeof kids[at] === 'string' ? '' : bracketOf(kids[at]);
            if (depth === 0 && text && PARTNER[close].includes(text))
                break;
            depth += (text && PARTNER[text] && !PARTNER[text].includes(text) ? 1 : 0)
                - (text && '([{\u27e8\u2329\u230a\u2308'.includes(text) ? 1 : 0);
        }
        if (at < 0) {
            kids.push(kid);
            continue;
        }
        const [base, ...scripts] = kidsOf(kid);
        const group = { name: 'mrow', attrs: {}, children: [...kids.splice(at), base] };
        kids.push({ ...kid, children: [group, ...scripts] });
    }
    return { ...node, children: kids };
}
const key = (text) => shape(scriptGroups(parseXml(text))).join(' ');

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

for (const [name, corpus] of corpora) {
    test(`${name}: what MathJax accepts renders with its formats every time, and its AsciiMath reads back`, () => {
        const needs = {};
        const counted = corpus.filter((formula) => {
            if (accepts(PACKAGES, formula) || !accepts(ALL, formula))
                return accepts(PACKAGES, formula);
            const left = ALL.find((one) => !PACKAGES.includes(one) && accepts([...PACKAGES, one], formula)) || 'several';
            (needs[left] = needs[left] || []).push(formula.id);
            return false;
        });
        const first = counted.map(show);
        const again = counted.map(show).filter(Boolean);
        const shown = first.filter(Boolean);
        const alike = shown.filter(readsBack);
        const differ = counted.filter((formula, i) => first[i] && !readsBack(first[i])).map((formula) => formula.id);
        const rate = (part, whole) => `${part.length}/${whole.length} (${(100 * part.length / whole.length).toFixed(1)}%)`;
        console.log(`${name}: left out for their packages: ${JSON.stringify(needs)}`);
        console.log(`${name}: rendered with every format: first show ${rate(shown, counted)}, again ${rate(again, counted)}; `
            + `AsciiMath read back alike: ${rate(alike, shown)}; differs: ${differ.join(' ') || 'none'}`);
        assert.ok(shown.length >= 0.99 * counted.length && again.length >= 0.99 * counted.length);
        assert.ok(alike.length >= 0.95 * shown.length);
    });
}

test('a failing format costs only itself', () => {
    const found = [];
    engine.formats({ tex: ' x ', item: {} }, { mathml: true, latex: true, svg: true }, (type) => found.push(type));
    assert.deepEqual(found, ['latex']);
});
