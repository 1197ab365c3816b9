// The service's Markdown dialect on markdown-it: maths in \( \), $ $, \[ \], $$ $$ and the
// equation-like environments, LaTeX tabulars, SMILES in fences and <smiles> tags. Maths and
// molecules render as empty slots that the page fills after sanitising the HTML.

import MarkdownIt from 'markdown-it';
import { findTabular, parseTabular } from './tabular.js';
import { nextIndex } from './search.js';
import { tableFromTokens, toHtml } from './table.js';

// Environments that stand for display maths on their own; the matrix-like ones are not maths
// environments in LaTeX, but recognised text writes them bare.
const MATH_ENVIRONMENTS = ['equation', 'align', 'gather', 'multline', 'alignat', 'eqnarray', 'flalign', 'displaymath',
    'math', 'array', 'matrix', 'pmatrix', 'bmatrix', 'Bmatrix', 'vmatrix', 'Vmatrix', 'cases', 'split'];
const ENVIRONMENT = new RegExp(`^\\\\begin\\{((?:${MATH_ENVIRONMENTS.join('|')})\\*?)\\}`);

// The end of the maths that opens at src[pos], as {end, tex, display}, or null.
export function scanMath(src, pos, max = src.length) {
    const closed = (open, close, display) => {
        const end = nextIndex(src, close, pos + open.length);
        if (end < 0 || end + close.length > max || end === pos + open.length)
            return null;
        return { end: end + close.length, tex: src.slice(pos + open.length, end), display };
    };
    if (src.startsWith('\\(', pos))
        return closed('\\(', '\\)', false);
    if (src.startsWith('\\[', pos))
        return closed('\\[', '\\]', true);
    if (src.startsWith('$$', pos))
        return closed('$$', '$$', true);
    if (src[pos] === '$') {
        // Inline dollars close at the next unescaped dollar, which must follow no blank and
        // precede no digit, and the opening one precedes no blank: "$5 and $6" stays text.
        if (pos + 1 >= max || /\s/.test(src[pos + 1]))
            return null;
        let end = nextIndex(src, '$', pos + 1);
        while (end > 0 && src[end - 1] === '\\')
            end = src.indexOf('$', end + 1);
        if (end < 0 || end >= max || /\s/.test(src[end - 1]) || /[0-9]/.test(src[end + 1] || ''))
            return null;
        return { end: end + 1, tex: src.slice(pos + 1, end), display: false };
    }
    if (src.startsWith('\\begin{', pos)) {
        const environment = ENVIRONMENT.exec(src.slice(pos, pos + 40));
        if (!environment)
            return null;
        const close = `\\end{${environment[1]}}`;
        const end = nextIndex(src, close, pos + environment[0].length);
        if (end < 0 || end + close.length > max)
            return null;
        return { end: end + close.length, tex: src.slice(pos, end + close.length), display: true };
    }
    return null;
}

// A text's lower-case copy, made once for all the tags in it.
let lowered = { src: null, lower: '' };

function smilesTag(src, pos, max) {
    if (src.slice(pos, pos + 8).toLowerCase() !== '<smiles>')
        return null;
    if (lowered.src !== src)
        lowered = { src, lower: src.toLowerCase() };
    const end = nextIndex(lowered.lower, '</smiles>', pos + 8);
    if (end < 0 || end + 9 > max)
        return null;
    return { end: end + 9, smiles: src.slice(pos + 8, end).trim() };
}

function inlineRule(state, silent) {
    const { src, pos, posMax } = state;
    const ch = src[pos];
    if (ch !== '\\' && ch !== '$' && ch !== '<')
        return false;
    if (src.startsWith('\\begin{tabular}', pos)) {
        const found = findTabular(src, pos, posMax);
        if (!found || found.start !== pos)
            return false;
        if (!silent) {
            const token = state.push('zq_tabular', '', 0);
            token.meta = { table: parseTabular(found.columns, found.body) };
        }
        state.pos = found.end;
        return true;
    }
    const smiles = ch === '<' ? smilesTag(src, pos, posMax) : null;
    if (smiles) {
        if (!silent)
            state.push('zq_smiles', '', 0).meta = { smiles: [smiles.smiles] };
        state.pos = smiles.end;
        return true;
    }
    const math = ch !== '<' ? scanMath(src, pos, posMax) : null;
    if (!math)
        return false;
    if (!silent)
        state.push('zq_math', '', 0).meta = { tex: math.tex, display: math.display };
    state.pos = math.end;
    return true;
}

// Display maths or a tabular that starts a block and ends a line: {end (index), kind, ...}.
function blockRule(state, startLine, endLine, silent) {
    const start = state.bMarks[startLine] + state.tShift[startLine];
    if (state.sCount[startLine] - state.blkIndent >= 4)
        return false;
    const src = state.src;
    const max = state.eMarks[endLine - 1];
    let found = null;
    if (src.startsWith('\\begin{tabular}', start)) {
        const tabular = findTabular(src, start, max);
        if (tabular && tabular.start === start)
            found = { end: tabular.end, type: 'zq_tabular', meta: { table: parseTabular(tabular.columns, tabular.body) } };
    } else if (src[start] === '<') {
        // A tag on lines of its own would otherwise pass as raw HTML.
        const smiles = smilesTag(src, start, max);
        if (smiles)
            found = { end: smiles.end, type: 'zq_smiles', meta: { smiles: [smiles.smiles] } };
    } else if (src[start] === '$' || src[start] === '\\') {
        if (src[start] === '$' && src[start + 1] !== '$')
            return false;
        const math = scanMath(src, start, max);
        if (math && math.display)
            found = { end: math.end, type: 'zq_math_block', meta: { tex: math.tex, display: true } };
    }
    if (!found)
        return false;
    // The block must end its line; otherwise the paragraph's inline rules take it.
    let line = startLine;
    while (line < endLine && state.eMarks[line] < found.end)
        line++;
    if (line >= endLine || src.slice(found.end, state.eMarks[line]).trim() !== '')
        return false;
    if (silent)
        return true;
    const token = state.push(found.type, '', 0);
    token.meta = found.meta;
    token.block = true;
    token.map = [startLine, line + 1];
    state.line = line + 1;
    return true;
}

// Collects the tables in document order, Markdown and LaTeX alike.
function collectTables(state) {
    if (state.inlineMode)
        return; // table cells rendered inline must not reset the document's list
    const tables = [];
    const walk = (tokens) => {
        for (let i = 0; i < tokens.length; i++) {
            const token = tokens[i];
            if (token.type === 'table_open') {
                let close = i;
                while (close < tokens.length && tokens[close].type !== 'table_close')
                    close++;
                tables.push({ table: tableFromTokens(tokens.slice(i, close + 1)), tabular: false });
            } else if (token.type === 'zq_tabular') {
                tables.push({ table: token.meta.table, tabular: true });
            } else if (token.children) {
                walk(token.children);
            }
        }
    };
    walk(state.tokens);
    state.env.tables = tables;
}

// Slots carry a class that is new for every rendering, so that markup in the text cannot pose
// as one.
function slot(env, item, block) {
    env.slots.push(item);
    const tag = block ? 'div' : 'span';
    return `<${tag} class="${env.slotClass}" data-zq-slot="${env.slots.length - 1}"></${tag}>`;
}

export function createMarkdown() {
    const md = new MarkdownIt({ html: true, linkify: false, typographer: false, breaks: false });
    md.inline.ruler.before('escape', 'zq_inline', inlineRule);
    md.block.ruler.before('fence', 'zq_block', blockRule, { alt: ['paragraph', 'reference', 'blockquote', 'list'] });
    md.core.ruler.push('zq_tables', collectTables);

    const rules = md.renderer.rules;
    rules.zq_math = (tokens, i, options, env) => slot(env, { kind: 'math', ...tokens[i].meta }, false);
    rules.zq_math_block = (tokens, i, options, env) => `${slot(env, { kind: 'math', ...tokens[i].meta }, true)}\n`;
    rules.zq_smiles = (tokens, i, options, env) => {
        const block = tokens[i].block;
        const html = tokens[i].meta.smiles.map((smiles) => slot(env, { kind: 'smiles', smiles, inline: !block }, false));
        return block ? `<div class="zq-smiles">${html.join('')}</div>\n` : html.join('');
    };
    rules.zq_tabular = (tokens, i, options, env) => {
        const html = toHtml(tokens[i].meta.table, (text) => md.renderInline(text, env));
        return `<div class="zq-tabular">${html}</div>${tokens[i].block ? '\n' : ''}`;
    };
    const fence = rules.fence;
    rules.fence = (tokens, i, options, env, self) => {
        const token = tokens[i];
        if (token.info.trim().toLowerCase() !== 'smiles')
            return fence(tokens, i, options, env, self);
        const molecules = token.content.split(/\r?\n/).map((line) => line.trim()).filter(Boolean);
        return `<div class="zq-smiles">${molecules.map((smiles) => slot(env, { kind: 'smiles', smiles }, false)).join('')}</div>\n`;
    };
    return md;
}

// A pipe inside inline maths must not end a table cell (|x| is common in recognised tables): such
// pipes pass the Markdown parser as a private character and come back in every output.
const PIPE = '\uE000';

function protectPipes(text) {
    if (!text.includes('|'))
        return text;
    let out = '';
    let last = 0;
    for (let i = 0; i < text.length; i++) {
        if (text[i] === '\\' && text[i + 1] !== '(') {
            i++;
            continue;
        }
        const math = text[i] === '$' || text[i] === '\\' ? scanMath(text, i) : null;
        if (!math)
            continue;
        if (!math.display && !math.tex.includes('\n') && math.tex.includes('|')) {
            out += text.slice(last, i) + text.slice(i, math.end).replace(/\|/g, PIPE);
            last = math.end;
        }
        i = math.end - 1;
    }
    return last ? out + text.slice(last) : text;
}

// HTML with slots, and what the text holds: {html, slots, slotClass, tables}.
export function renderMarkdown(md, text) {
    const slotClass = `zq-slot-${Math.random().toString(36).slice(2)}`;
    const env = { slots: [], tables: [], slotClass };
    const protectedText = protectPipes(text);
    let html = md.render(protectedText, env);
    if (protectedText !== text) {
        const restore = (value) => value.replaceAll(PIPE, '|');
        html = restore(html);
        env.slots.forEach((item) => item.tex !== undefined && (item.tex = restore(item.tex)));
        env.tables.forEach(({ table }) => table.rows.flat().forEach((cell) => (cell.text = restore(cell.text))));
    }
    return { html, slots: env.slots, slotClass, tables: env.tables };
}
