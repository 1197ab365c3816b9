// TeX to SVG (for the page) and to MathML (for the formats), synchronously through MathJax.
// Only packages that cannot add links, styles, colours or further loading are configured:
// recognised text is untrusted.

// MathJax is most of the page's script. It travels as text beside the main script and is run on
// first use (or when the page warms up after loading), so that it does not delay the page's load.
function loadMathJax() {
    if (!window.ZqMathJax) {
        const holder = document.getElementById('zq-mathjax');
        const script = document.createElement('script');
        script.textContent = holder ? holder.textContent : '';
        document.head.appendChild(script); // an inline script runs as it is inserted
        script.remove();
        if (holder)
            holder.textContent = '';
    }
    if (!window.ZqMathJax)
        throw new Error('The TeX engine is missing');
    return window.ZqMathJax;
}

const PACKAGES = ['base', 'ams', 'amscd', 'boldsymbol', 'braket', 'bussproofs', 'cancel', 'cases', 'centernot',
    'empheq', 'extpfeil', 'gensymb', 'mathtools', 'mhchem', 'newcommand', 'physics', 'textcomp', 'textmacros',
    'upgreek', 'verb'];

let engine = null;
let failed = false;

function makeTex(TeX) {
    return new TeX({
        packages: PACKAGES,
        maxMacros: 1000,
        maxBuffer: 20 * 1024,
        formatError(input, error) {
            failed = true;
            return input.formatError(error);
        },
    });
}

// Two TeX documents: the page's, whose formulas share one set of glyph definitions (fast to
// render), and one for copying, whose SVGs carry their own glyphs and so stand alone.
function jax() {
    if (engine)
        return engine;
    const modules = loadMathJax();
    const adaptor = modules.browserAdaptor();
    modules.RegisterHTMLHandler(adaptor);
    const shared = new modules.SVG({ fontCache: 'global' });
    const page = modules.mathjax.document(document, { InputJax: makeTex(modules.TeX), OutputJax: shared });
    const standalone = modules.mathjax.document(document, {
        InputJax: makeTex(modules.TeX),
        OutputJax: new modules.SVG({ fontCache: 'local' }),
    });
    document.head.appendChild(shared.styleSheet(page));
    const glyphs = shared.pageElements(page);
    if (glyphs)
        document.body.appendChild(glyphs);
    engine = { page, standalone, STATE: modules.STATE, visitor: new modules.SerializedMmlVisitor() };
    return engine;
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
        node = jax().page.convert(tex, { display });
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
    const { page, STATE, visitor } = jax();
    const tree = page.convert(tex, { display, end: STATE.COMPILED });
    if (failed)
        throw new Error('TeX error');
    return visitor.visitTree(tree);
}

// Loads and exercises the TeX engine ahead of the first text.
export function warmUpMath() {
    renderTex('\\frac{a}{b}+\\sqrt{x}', true);
}

// The formula as an SVG document of its own, glyphs included.
export function texToSvg(tex, display) {
    failed = false;
    const node = jax().standalone.convert(tex, { display });
    scrub(node);
    const svg = node.querySelector('svg');
    if (failed || !svg)
        throw new Error('TeX error');
    svg.setAttribute('xmlns', 'http://www.w3.org/2000/svg');
    return new XMLSerializer().serializeToString(svg);
}
