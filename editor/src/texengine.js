// TeX through MathJax, for the page (browser adaptor) and the corpus check (lite adaptor). Each
// text gets a TeX state of its own, so that labels and definitions never carry to the next text;
// each formula is parsed once, and its formats come from that parse, so that nothing it defines is
// registered twice. Only packages that cannot add links, styles, colours or further loading are
// configured: recognised text is untrusted.

import { mathmlToAsciiMath } from './asciimath.js';
import { mathmlToWordMathml } from './wordmathml.js';

export const PACKAGES = ['base', 'ams', 'amscd', 'boldsymbol', 'braket', 'bussproofs', 'cancel', 'cases',
    'centernot', 'empheq', 'extpfeil', 'gensymb', 'mathtools', 'mhchem', 'newcommand', 'physics', 'textcomp',
    'textmacros', 'upgreek', 'verb'];

// Removes anything active that the output could carry: event attributes, links, style URLs.
function scrub(adaptor, root) {
    // The page's own nodes are walked by the browser; the corpus check's through the adaptor.
    const walk = (node) => (adaptor.kind(node).startsWith('#') ? [] : [node, ...adaptor.childNodes(node).flatMap(walk)]);
    for (const node of root.querySelectorAll ? [root, ...root.querySelectorAll('*')] : walk(root)) {
        for (const { name, value } of node.attributes ? Array.from(node.attributes) : adaptor.allAttributes(node)) {
            const lower = name.toLowerCase();
            if (lower.startsWith('on') || ((lower === 'href' || lower === 'xlink:href') && !value.startsWith('#'))
                || (lower === 'style' && /url\s*\(|expression|@import/i.test(value)))
                adaptor.removeAttribute(node, name);
        }
    }
}

// modules: what mathjax-engine.js exports. The page's document shares one set of glyph definitions
// (fast to render); copied SVGs come from a second document and carry their own glyphs.
export function createTexEngine(modules, adaptor, document) {
    const { mathjax, TeX, SVG, STATE } = modules;
    modules.RegisterHTMLHandler(adaptor);
    let failed = false;
    const makeTex = (document) => {
        const tex = new TeX({
            packages: PACKAGES,
            maxMacros: 1000,
            maxBuffer: 20 * 1024,
            formatError(input, error) {
                failed = true;
                return input.formatError(error);
            },
        });
        if (document) {
            tex.setAdaptor(adaptor);
            tex.setMmlFactory(document.mmlFactory);
            tex.initialize();
        }
        return tex;
    };
    const output = new SVG({ fontCache: 'global' });
    const page = mathjax.document(document, { InputJax: makeTex(), OutputJax: output });
    const standalone = mathjax.document(document, { InputJax: makeTex(), OutputJax: new SVG({ fontCache: 'local' }) });
    const visitor = new modules.SerializedMmlVisitor();
    let spare = null; // a clean TeX state made while the page is idle

    const typeset = (doc, item) => {
        item.start.node = adaptor.body(doc.document);
        item.setMetrics(16, 8, 640, 1000000, 1);
        item.convert(doc, STATE.LAST);
        return item.typesetRoot;
    };

    return {
        page,
        output,
        // A clean TeX state for the next text: the last one again when it defined and labelled
        // nothing, else a new one (making one costs more than the formula).
        beginText() {
            const options = page.inputJax[0].parseOptions;
            const defined = ['new-Command', 'new-Environment', 'new-Delimiter']
                .some((name) => (options.handlers.retrieve(name) || { map: new Map() }).map.size > 0);
            if (!defined && !Object.keys(options.tags.allLabels).length && !Object.keys(options.tags.allIds).length) {
                page.inputJax[0].reset();
                return;
            }
            page.inputJax = [spare || makeTex(page)];
            spare = null;
        },
        // Makes the next text's TeX state ahead, so that the text does not wait for it.
        prepare() {
            spare = spare || makeTex(page);
        },
        // {node, error, item}: the rendered node (an error message when the TeX did not parse).
        render(tex, display) {
            failed = false;
            const item = new page.options.MathItem(tex, page.inputJax[0], display);
            const node = typeset(page, item);
            scrub(adaptor, node);
            return { node, error: failed, item };
        },
        mathml(item) {
            return visitor.visitTree(item.root);
        },
        // The formula as an SVG document of its own, glyphs included.
        svg(item) {
            const copy = new standalone.options.MathItem(item.math, page.inputJax[0], item.display);
            copy.root = item.root;
            copy.state(STATE.COMPILED);
            const node = typeset(standalone, copy);
            scrub(adaptor, node);
            const svg = adaptor.tags(node, 'svg')[0];
            if (!svg)
                throw new Error('No SVG');
            adaptor.setAttribute(svg, 'xmlns', 'http://www.w3.org/2000/svg');
            return adaptor.serializeXML(svg);
        },
        // The formats of one rendered formula that wanted asks for; each fails alone.
        formats(formula, wanted, add) {
            if (formula.error)
                return;
            const attempt = (type, make) => {
                try {
                    add(type, make());
                } catch (error) {
                    console.error(`[editor] The ${type} format failed:`, error && error.message);
                }
            };
            let mathml = null;
            const source = () => (mathml === null ? (mathml = this.mathml(formula.item)) : mathml);
            if (wanted.mathml)
                attempt('mathml', source);
            if (wanted.mathmlword)
                attempt('mathmlword', () => mathmlToWordMathml(source()));
            if (wanted.asciimath)
                attempt('asciimath', () => mathmlToAsciiMath(source()));
            if (wanted.latex)
                attempt('latex', () => formula.tex.trim());
            if (wanted.svg)
                attempt('svg', () => this.svg(formula.item));
        },
    };
}
