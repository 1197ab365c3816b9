// TeX to SVG (for the page) and to MathML (for the formats), synchronously through MathJax.
// Only packages that cannot add links, styles, colours or further loading are configured:
// recognised text is untrusted.

// MathJax is large: it is required on first use (or when the page warms up after loading), so
// that it does not delay the page's load.
/* global require */
function loadMathJax() {
    const modules = {
        mathjax: require('mathjax-full/js/mathjax.js').mathjax,
        TeX: require('mathjax-full/js/input/tex.js').TeX,
        SVG: require('mathjax-full/js/output/svg.js').SVG,
        browserAdaptor: require('mathjax-full/js/adaptors/browserAdaptor.js').browserAdaptor,
        RegisterHTMLHandler: require('mathjax-full/js/handlers/html.js').RegisterHTMLHandler,
        SerializedMmlVisitor: require('mathjax-full/js/core/MmlTree/SerializedMmlVisitor.js').SerializedMmlVisitor,
        STATE: require('mathjax-full/js/core/MathItem.js').STATE,
    };
    require('mathjax-full/js/input/tex/base/BaseConfiguration.js');
    require('mathjax-full/js/input/tex/ams/AmsConfiguration.js');
    require('mathjax-full/js/input/tex/amscd/AmsCdConfiguration.js');
    require('mathjax-full/js/input/tex/boldsymbol/BoldsymbolConfiguration.js');
    require('mathjax-full/js/input/tex/braket/BraketConfiguration.js');
    require('mathjax-full/js/input/tex/bussproofs/BussproofsConfiguration.js');
    require('mathjax-full/js/input/tex/cancel/CancelConfiguration.js');
    require('mathjax-full/js/input/tex/cases/CasesConfiguration.js');
    require('mathjax-full/js/input/tex/centernot/CenternotConfiguration.js');
    require('mathjax-full/js/input/tex/empheq/EmpheqConfiguration.js');
    require('mathjax-full/js/input/tex/extpfeil/ExtpfeilConfiguration.js');
    require('mathjax-full/js/input/tex/gensymb/GensymbConfiguration.js');
    require('mathjax-full/js/input/tex/mathtools/MathtoolsConfiguration.js');
    require('mathjax-full/js/input/tex/mhchem/MhchemConfiguration.js');
    require('mathjax-full/js/input/tex/newcommand/NewcommandConfiguration.js');
    require('mathjax-full/js/input/tex/physics/PhysicsConfiguration.js');
    require('mathjax-full/js/input/tex/textcomp/TextcompConfiguration.js');
    require('mathjax-full/js/input/tex/textmacros/TextMacrosConfiguration.js');
    require('mathjax-full/js/input/tex/upgreek/UpgreekConfiguration.js');
    require('mathjax-full/js/input/tex/verb/VerbConfiguration.js');
    return modules;
}

const PACKAGES = ['base', 'ams', 'amscd', 'boldsymbol', 'braket', 'bussproofs', 'cancel', 'cases', 'centernot',
    'empheq', 'extpfeil', 'gensymb', 'mathtools', 'mhchem', 'newcommand', 'physics', 'textcomp', 'textmacros',
    'upgreek', 'verb'];

let documentJax = null;
let failed = false;
let visitor = null;
let STATE = null;

function jax() {
    if (documentJax)
        return documentJax;
    const { mathjax, TeX, SVG, browserAdaptor, RegisterHTMLHandler, SerializedMmlVisitor, ...rest } = loadMathJax();
    STATE = rest.STATE;
    visitor = new SerializedMmlVisitor();
    const adaptor = browserAdaptor();
    RegisterHTMLHandler(adaptor);
    const tex = new TeX({
        packages: PACKAGES,
        maxMacros: 1000,
        maxBuffer: 20 * 1024,
        formatError(input, error) {
            failed = true;
            return input.formatError(error);
        },
    });
    // Each SVG keeps its own glyph definitions, so that a copied SVG stands alone.
    const svg = new SVG({ fontCache: 'local' });
    documentJax = mathjax.document(document, { InputJax: tex, OutputJax: svg });
    document.head.appendChild(svg.styleSheet(documentJax));
    return documentJax;
}

// Removes anything active that the output could carry: event attributes, links, style URLs.
function scrub(node) {
    if (node.nodeType !== 1)
        return;
    for (const attr of Array.from(node.attributes)) {
        const name = attr.name.toLowerCase();
        if (name.startsWith('on') || ((name === 'href' || name === 'xlink:href') && !attr.value.startsWith('#'))
            || (name === 'style' && /url\s*\(|expression|@import/i.test(attr.value)))
            node.removeAttribute(attr.name);
    }
    for (const child of Array.from(node.childNodes))
        scrub(child);
}

// Renders TeX as an SVG element (inside MathJax's container); error is true when the TeX did
// not parse, in which case the node shows the error message.
export function renderTex(tex, display) {
    failed = false;
    let node;
    try {
        node = jax().convert(tex, { display });
    } catch (error) {
        failed = true;
        node = document.createElement('span');
        node.className = 'zq-math-error';
        node.textContent = tex;
    }
    scrub(node);
    return { node, error: failed };
}

export function texToMathml(tex, display) {
    failed = false;
    const tree = jax().convert(tex, { display, end: STATE.COMPILED });  // jax() sets STATE first
    if (failed)
        throw new Error('TeX error');
    return visitor.visitTree(tree);
}

// The self-contained SVG text of a rendered formula.
// Loads and exercises the TeX engine ahead of the first text.
export function warmUpMath() {
    renderTex('\\frac{a}{b}+\\sqrt{x}', true);
}

export function svgOf(node) {
    const svg = node.tagName && node.tagName.toLowerCase() === 'svg' ? node : node.querySelector('svg');
    if (!svg)
        return '';
    const copy = svg.cloneNode(true);
    copy.setAttribute('xmlns', 'http://www.w3.org/2000/svg');
    copy.setAttribute('xmlns:xlink', 'http://www.w3.org/1999/xlink');
    return new XMLSerializer().serializeToString(copy);
}
