// The editor page's interface to the application: setFontSize, setText, contentSize, getFormats and
// isSettled on window. Every call answers synchronously with a well-formed reply, whatever it is
// given.

import { createMarkdown, renderMarkdown } from './markdown.js';
import { beginText, prepareNextText, renderTex, texEngine, warmUpMath } from './math.js';
import { chemistryReady, chemistryStarting, describeMolecule, startChemistry } from './chemistry.js';
import { replaceSourcelessImages, sanitizeToFragment } from './sanitize.js';
import { toCsv, toHtml, toMarkdown, toTsv } from './table.js';
import { copyButton, installCopyButton, setCopyButton } from './copybutton.js';

const MAX_FORMULA_FORMATS = 20;
const MAX_TEXT_LENGTH = 200000;

const md = createMarkdown();
const content = document.getElementById('content');

// What the last setText rendered, for getFormats.
let last = { text: '', formulas: [], tables: [], molecules: [], options: {} };
let formatsCache = null;

function size() {
    const box = content.getBoundingClientRect();
    return { height: box.height, width: box.width };
}

// A molecule within a line of text is drawn smaller than one in a block of its own.
const INLINE_MOLECULE = { width: 150, height: 110 };
const BLOCK_MOLECULE = { width: 240, height: 180 };

function moleculeNode(smiles, molecules, inline) {
    const described = describeMolecule(smiles, inline ? INLINE_MOLECULE : BLOCK_MOLECULE);
    molecules.push({ smiles, described });
    const holder = document.createElement('span');
    holder.className = 'zq-molecule';
    if (described) {
        const parsed = new DOMParser().parseFromString(described.svg, 'image/svg+xml').documentElement;
        if (parsed && parsed.tagName.toLowerCase() === 'svg') {
            for (const script of Array.from(parsed.querySelectorAll('script, foreignObject')))
                script.remove();
            holder.appendChild(document.importNode(parsed, true));
            return holder;
        }
    }
    holder.classList.add('zq-molecule-text');
    holder.textContent = smiles;
    return holder;
}

// Renders text into content; returns whether any LaTeX failed.
function render(text, formulas, tables, molecules) {
    const { html, slots, slotClass, tables: found } = renderMarkdown(md, text);
    if (slots.some((item) => item.kind === 'math')) {
        beginText();
        prepareNextText();
    }
    tables.push(...found);
    const fragment = sanitizeToFragment(html);
    replaceSourcelessImages(fragment);
    let latexFailed = false;
    const used = new Set();
    for (const holder of Array.from(fragment.querySelectorAll('[data-zq-slot]'))) {
        const index = Number(holder.getAttribute('data-zq-slot'));
        const item = slots[index];
        // Slots come only from our own renderer; markup in the text that poses as one stays
        // plain markup.
        if (!item || used.has(index) || !holder.classList.contains(slotClass)) {
            holder.removeAttribute('data-zq-slot');
            continue;
        }
        used.add(index);
        if (item.kind === 'math') {
            const { node, error, item: math } = renderTex(item.tex, item.display);
            latexFailed = latexFailed || error;
            formulas.push({ tex: item.tex, display: item.display, error, item: math });
            holder.replaceWith(node);
        } else {
            holder.replaceWith(moleculeNode(item.smiles, molecules, item.inline));
        }
    }
    content.replaceChildren(fragment, copyButton());
    return latexFailed;
}

window.setFontSize = function setFontSize(n) {
    try {
        const value = Number(n);
        if (!Number.isFinite(value) || value <= 0 || value > 1000)
            return false;
        document.body.style.fontSize = `${value}px`;
        return true;
    } catch (error) {
        return false; // a value that cannot even become a number
    }
};

window.setText = function setText(text, alignment, options, extra) {
    let latexFailed = false;
    const formulas = [];
    const tables = [];
    const molecules = [];
    let source = '';
    try {
        source = typeof text === 'string' ? text : text === undefined || text === null ? '' : String(text);
        document.body.classList.toggle('zq-center', alignment === 'center');
        setCopyButton(Boolean(extra && typeof extra === 'object' && extra.copyButtonEnabled), source);
        latexFailed = render(source.slice(0, MAX_TEXT_LENGTH), formulas, tables, molecules);
    } catch (error) {
        console.error('[editor] setText failed:', error && error.message);
        // Whatever broke, the user still sees the text itself.
        try {
            content.textContent = source;
        } catch (ignored) {
            /* nothing left to do */
        }
    }
    last = { text: source, formulas, tables, molecules, options: options && typeof options === 'object' ? options : {} };
    formatsCache = null;
    // The chemistry engine is large: it starts for the first text that holds a molecule.
    if (molecules.length > 0 && !chemistryReady())
        startChemistry();
    try {
        return [latexFailed, size()];
    } catch (error) {
        return [latexFailed, { height: 0, width: 0 }];
    }
};

// The content's size as laid out now: a face swapped in or an image decoded since setText answered
// may have changed it.
window.contentSize = function contentSize() {
    try {
        return size();
    } catch (error) {
        return { height: 0, width: 0 };
    }
};

function computeFormats() {
    const options = last.options;
    const wanted = {
        mathml: options.include_mathml === true,
        mathmlword: options.include_mathml_word === true,
        asciimath: options.include_asciimath === true,
        latex: options.include_latex === true,
        svg: options.include_svg === true,
    };
    const formats = [];
    // One failing format must not cost the others.
    const attempt = (work) => {
        try {
            work();
        } catch (error) {
            console.error('[editor] A format failed:', error && error.message);
        }
    };
    const add = (type, value) => {
        if (typeof value === 'string' && value !== '')
            formats.push({ type, value });
    };
    for (const formula of last.formulas.slice(0, MAX_FORMULA_FORMATS))
        attempt(() => texEngine().formats(formula, wanted, add));
    for (const { table, tabular } of last.tables) {
        if (options.include_table_html === true)
            attempt(() => add('html', toHtml(table)));
        if (options.include_tsv === true)
            attempt(() => add('tsv', toTsv(table)));
        if (options.include_csv === true)
            attempt(() => add('csv', toCsv(table)));
        if (tabular)
            attempt(() => add('table-markdown', toMarkdown(table)));
    }
    // The chemistry family is always reported.
    for (const molecule of last.molecules) {
        add('smiles', molecule.smiles);
        const described = molecule.described || (chemistryReady() ? describeMolecule(molecule.smiles) : null);
        if (described) {
            add('mol', described.mol);
            add('inchi', described.inchi);
            add('inchi_key', described.inchiKey);
        }
    }
    return formats;
}

// False while the engine that the last text's molecules need is still starting: the same text
// set again once this is true draws them and knows all their formats.
window.isSettled = function isSettled() {
    return !(last.molecules.length > 0 && chemistryStarting());
};

window.getFormats = function getFormats() {
    try {
        if (formatsCache === null)
            formatsCache = JSON.stringify({ formats: computeFormats() });
        return formatsCache;
    } catch (error) {
        console.error('[editor] getFormats failed:', error && error.message);
        return JSON.stringify({ formats: [] });
    }
};

// Nothing in the rendering may take the page elsewhere: links do not navigate, dropped files
// do not open.
document.addEventListener('click', (event) => {
    const link = event.target && event.target.closest ? event.target.closest('a') : null;
    if (link)
        event.preventDefault();
}, true);
document.addEventListener('auxclick', (event) => event.preventDefault(), true);
document.addEventListener('dragover', (event) => event.preventDefault(), true);
document.addEventListener('drop', (event) => event.preventDefault(), true);

// Start the faces now, while the page still loads, so that the first rendering is measured
// with the fonts it will be shown in.
for (const face of ['1em "IBM Plex Sans"', 'italic 1em "IBM Plex Sans"', '600 1em "IBM Plex Sans"', '1em "Inconsolata"'])
    document.fonts.load(face);

installCopyButton(content);
window.addEventListener('load', () => {
    // After the load report, so that it does not delay it; a text that comes first simply starts
    // the TeX engine itself.
    setTimeout(warmUpMath, 0);
});
