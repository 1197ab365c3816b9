// The page's TeX: the engine of texengine.js on the page's own document.

import { createTexEngine } from './texengine.js';

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

let engine = null;

export function texEngine() {
    if (engine)
        return engine;
    const modules = loadMathJax();
    engine = createTexEngine(modules, modules.browserAdaptor(), document);
    document.head.appendChild(engine.output.styleSheet(engine.page));
    const glyphs = engine.output.pageElements(engine.page);
    if (glyphs)
        document.body.appendChild(glyphs);
    return engine;
}

// Renders TeX in the current text's state: {node, error, item}; error is true when the TeX did
// not parse, in which case the node shows the error message.
export function renderTex(tex, display) {
    try {
        return texEngine().render(tex, display);
    } catch (error) {
        const node = document.createElement('span');
        node.className = 'zq-math-error';
        node.textContent = tex;
        return { node, error: true, item: null };
    }
}

// A clean TeX state for the next text; when the engine is missing, renderTex reports it.
export function beginText() {
    try {
        texEngine().beginText();
    } catch (error) {
        console.error('[editor] TeX engine:', error && error.message);
    }
}

// Readies the next text's TeX state once the page is idle.
export function prepareNextText() {
    setTimeout(() => engine && engine.prepare(), 0);
}

// Loads and exercises the TeX engine ahead of the first text.
export function warmUpMath() {
    beginText();
    renderTex('\\frac{a}{b}+\\sqrt{x}', true);
}
