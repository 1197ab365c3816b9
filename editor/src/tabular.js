// Reads LaTeX tabular environments into the table model of table.js. Cell texts keep their
// maths as written ("$x^2$"); simple text commands are unwrapped and escaped characters restored.

import { makeCell } from './table.js';
import { nextIndex } from './search.js';

const BEGIN = '\\begin{tabular}';
const END = '\\end{tabular}';

// Index just past the group that opens at text[start] ('{' or '['), or -1 when it never closes.
export function skipGroup(text, start, max = text.length) {
    const open = text[start];
    const close = open === '{' ? '}' : ']';
    let depth = 0;
    for (let i = start; i < max; i++) {
        const ch = text[i];
        if (ch === '\\') {
            i++;
            continue;
        }
        if (ch === open)
            depth++;
        else if (ch === close && --depth === 0)
            return i + 1;
    }
    return -1;
}

// Finds the first tabular at or after `from` that ends by `max`: {start, end, columns, body} or
// null. Nested tabulars stay inside the body of the outer one.
export function findTabular(text, from = 0, max = text.length) {
    const start = nextIndex(text, BEGIN, from);
    if (start < 0)
        return null;
    let i = start + BEGIN.length;
    while (text[i] === ' ')
        i++;
    // Options and column specs are short; an unclosed one must not cost a scan of the whole text.
    const groupEnd = Math.min(max, i + 2000);
    if (text[i] === '[') {
        const after = skipGroup(text, i, groupEnd);
        if (after < 0)
            return null;
        i = after;
    }
    while (text[i] === ' ')
        i++;
    let columns = '';
    if (text[i] === '{') {
        const after = skipGroup(text, i, groupEnd);
        if (after < 0)
            return null;
        columns = text.slice(i + 1, after - 1);
        i = after;
    }
    const bodyStart = i;
    let depth = 1;
    let j = i;
    while (depth > 0) {
        const nextBegin = nextIndex(text, BEGIN, j);
        const nextEnd = nextIndex(text, END, j);
        if (nextEnd < 0 || nextEnd + END.length > max)
            return null;
        if (nextBegin >= 0 && nextBegin < nextEnd) {
            depth++;
            j = nextBegin + BEGIN.length;
        } else {
            depth--;
            j = nextEnd + END.length;
        }
    }
    return { start, end: j, columns, body: text.slice(bodyStart, j - END.length) };
}

// Column alignments from a column layout such as "|l|c|r|" or "p{2cm}c".
export function parseColumnSpec(columns) {
    const align = [];
    for (let i = 0; i < columns.length; i++) {
        const ch = columns[i];
        if (ch === 'l')
            align.push('left');
        else if (ch === 'c')
            align.push('center');
        else if (ch === 'r')
            align.push('right');
        else if (ch === 'p' || ch === 'm' || ch === 'b' || ch === 'X') {
            align.push('left');
            if (columns[i + 1] === '{')
                i = Math.max(i, skipGroup(columns, i + 1) - 1);
        } else if ((ch === '@' || ch === '!' || ch === '>' || ch === '<') && columns[i + 1] === '{') {
            i = Math.max(i, skipGroup(columns, i + 1) - 1);
        } else if (ch === '*' && columns[i + 1] === '{') {
            // *{3}{c}: repeat
            const countEnd = skipGroup(columns, i + 1);
            const count = parseInt(columns.slice(i + 2, countEnd - 1), 10);
            if (countEnd > 0 && columns[countEnd] === '{') {
                const groupEnd = skipGroup(columns, countEnd);
                const inner = parseColumnSpec(columns.slice(countEnd + 1, groupEnd - 1));
                for (let k = 0; k < Math.min(count || 0, 100); k++)
                    align.push(...inner);
                i = groupEnd - 1;
            }
        }
    }
    return align;
}

// Splits at top-level occurrences of the separator: outside braces, maths and nested environments.
function splitTopLevel(text, isSeparator) {
    const parts = [];
    let depth = 0;
    let envDepth = 0;
    let inDollar = false;
    let last = 0;
    for (let i = 0; i < text.length; i++) {
        const ch = text[i];
        if (ch === '\\') {
            if (text.startsWith('\\begin{', i))
                envDepth++;
            else if (text.startsWith('\\end{', i))
                envDepth = Math.max(0, envDepth - 1);
            else if (text[i + 1] === '(' || text[i + 1] === '[')
                envDepth++;
            else if (text[i + 1] === ')' || text[i + 1] === ']')
                envDepth = Math.max(0, envDepth - 1);
            const size = depth === 0 && envDepth === 0 && !inDollar ? isSeparator(text, i) : 0;
            if (size) {
                parts.push(text.slice(last, i));
                last = i + size;
                i = last - 1;
                continue;
            }
            i++;
            continue;
        }
        if (ch === '{')
            depth++;
        else if (ch === '}')
            depth = Math.max(0, depth - 1);
        else if (ch === '$')
            inDollar = !inDollar;
        else if (depth === 0 && envDepth === 0 && !inDollar) {
            const size = isSeparator(text, i);
            if (size) {
                parts.push(text.slice(last, i));
                last = i + size;
                i = last - 1;
            }
        }
    }
    parts.push(text.slice(last));
    return parts;
}

const RULES = /^\s*(?:\\(?:hline|toprule|midrule|bottomrule)\b|\\(?:cline|cmidrule|hhline)(?:\([^)]*\))?\{[^}]*\}|\\noalign\{[^}]*\})/;

function stripRules(row) {
    let rest = row;
    for (let found = RULES.exec(rest); found; found = RULES.exec(rest))
        rest = rest.slice(found[0].length);
    return rest;
}

// Reads "\cmd{a}{b}{c}" at the start of text: its arguments, or null.
function readArguments(text, name, count) {
    const trimmed = text.trim();
    if (!trimmed.startsWith(name))
        return null;
    const args = [];
    let i = name.length;
    while (args.length < count) {
        while (trimmed[i] === ' ')
            i++;
        if (trimmed[i] === '[') {
            const after = skipGroup(trimmed, i);
            if (after < 0)
                return null;
            i = after;
            continue;
        }
        if (trimmed[i] !== '{')
            return null;
        const after = skipGroup(trimmed, i);
        if (after < 0)
            return null;
        args.push(trimmed.slice(i + 1, after - 1));
        i = after;
    }
    return trimmed.slice(i).trim() === '' ? args : null;
}

const TEXT_COMMANDS = /\\(?:textbf|textit|textrm|textsf|texttt|textup|emph|underline|text|mbox)\{([^{}]*)\}/g;

// Cell source as text: maths kept as written, text commands unwrapped, escapes restored.
export function cellText(source) {
    const pieces = [];
    const math = /\$[^$]*\$|\\\([\s\S]*?\\\)/g;
    let last = 0;
    let match;
    const plain = (text) =>
        text
            .replace(TEXT_COMMANDS, '$1')
            .replace(/\\([%&$#_{}])/g, '$1')
            .replace(/\\ /g, ' ') // a control space
            .replace(/\\textbackslash\b\s?/g, '\\')
            .replace(/~/g, ' ')
            .replace(/\s+/g, ' ');
    while ((match = math.exec(source)) !== null) {
        pieces.push(plain(source.slice(last, match.index)), match[0]);
        last = math.lastIndex;
    }
    pieces.push(plain(source.slice(last)));
    return pieces.join('').trim();
}

// The table model of one tabular's column layout and body.
export function parseTabular(columns, body) {
    const align = parseColumnSpec(columns);
    const rows = [];
    const rawRows = splitTopLevel(body, (text, i) => (text.startsWith('\\\\', i) ? 2 : 0));
    rawRows.forEach((raw, index) => {
        // "\\[2pt]" spacing after a row break
        const source = stripRules(raw.replace(/^\s*\[[^\]]*\]/, ''));
        if (index === rawRows.length - 1 && source.trim() === '')
            return;
        const cells = splitTopLevel(source, (text, i) => (text[i] === '&' && text[i - 1] !== '\\' ? 1 : 0));
        rows.push(
            cells.map((cellSource) => {
                const multicolumn = readArguments(cellSource, '\\multicolumn', 3);
                if (multicolumn) {
                    const inner = readArguments(multicolumn[2], '\\multirow', 3);
                    const rowspan = inner ? parseInt(inner[0], 10) || 1 : 1;
                    return makeCell(cellText(inner ? inner[2] : multicolumn[2]),
                                    Math.min(parseInt(multicolumn[0], 10) || 1, 1000), Math.min(rowspan, 1000));
                }
                const multirow = readArguments(cellSource, '\\multirow', 3);
                if (multirow)
                    return makeCell(cellText(multirow[2]), 1, Math.min(parseInt(multirow[0], 10) || 1, 1000));
                return makeCell(cellText(cellSource));
            }));
    });
    dropCoveredCells(rows);
    return { rows, align };
}

// A \multirow leaves empty cells in the rows below it in the source; the model stores a
// spanned position once, so those placeholders go.
function dropCoveredCells(rows) {
    const covered = rows.map(() => new Set());
    rows.forEach((row, r) => {
        let c = 0;
        const kept = [];
        for (const cell of row) {
            if (covered[r].has(c) && cell.text === '' && cell.rowspan === 1) {
                c += cell.colspan;
                continue;
            }
            while (covered[r].has(c))
                c++;
            for (let dr = 1; dr < cell.rowspan && r + dr < rows.length; dr++)
                for (let dc = 0; dc < cell.colspan; dc++)
                    covered[r + dr].add(c + dc);
            kept.push(cell);
            c += cell.colspan;
        }
        rows[r] = kept;
    });
}
