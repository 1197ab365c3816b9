// MathML (as MathJax writes it) to AsciiMath.

import { elementChildren, localName, parseXml, textContent } from './xml.js';

export const SYMBOLS = new Map(Object.entries({
    α: 'alpha', β: 'beta', γ: 'gamma', δ: 'delta', ε: 'epsilon', ζ: 'zeta', η: 'eta',
    θ: 'theta', ϑ: 'vartheta', ι: 'iota', κ: 'kappa', λ: 'lambda', μ: 'mu', ν: 'nu', ξ: 'xi', π: 'pi',
    ρ: 'rho', σ: 'sigma', τ: 'tau', υ: 'upsilon', ϕ: 'phi', φ: 'varphi', χ: 'chi', ψ: 'psi',
    ω: 'omega', Γ: 'Gamma', Δ: 'Delta', Θ: 'Theta', Λ: 'Lambda', Ξ: 'Xi', Π: 'Pi', Σ: 'Sigma',
    Φ: 'Phi', Ψ: 'Psi', Ω: 'Omega',
    '\u2212': '-', '±': '+-', '∓': '-+', '×': 'xx', '·': '*', '⋅': '*', '∗': '**', '÷': '-:', '∘': '@',
    '⊕': 'o+', '⊗': 'ox', '⊙': 'o.', '∑': 'sum', '∏': 'prod', '∫': 'int',
    '∮': 'oint', '∂': 'del', '∇': 'grad', '∞': 'oo', '≤': '<=', '⩽': '<=', '≥': '>=', '⩾': '>=',
    '≠': '!=', '≈': '~~', '≡': '-=', '∼': '~', '≅': '~=', '∝': 'prop',
    '∈': 'in', '∉': '!in', '⊂': 'sub', '⊃': 'sup', '⊆': 'sube', '⊇': 'supe', '∪': 'uu', '∩': 'nn',
    '⋃': 'uuu', '⋂': 'nnn', '∅': 'O/', '∀': 'AA', '∃': 'EE', '¬': 'neg', '∧': '^^', '∨': 'vv',
    '→': '->', '⟶': '->', '←': 'larr', '⟵': 'larr', '↔': 'harr', '⇒': '=>', '⟹': '=>', '⇐': 'lArr',
    '⇔': '<=>', '⟺': '<=>', '↦': '|->', '↑': 'uarr', '↓': 'darr', '′': "'", '″': "''", '…': '...',
    '⋯': 'cdots', '⋮': 'vdots', '⋱': 'ddots', 'ℝ': 'RR', 'ℕ': 'NN', 'ℤ': 'ZZ', 'ℚ': 'QQ', 'ℂ': 'CC',
    '⟨': '(:', '⟩': ':)', '〈': '(:', '〉': ':)', '∣': '|', '⌊': '|__', '⌋': '__|',
    '⌈': '|~', '⌉': '~|', '°': '^@', '⊥': '_|_', '⊤': 'TT', '⊢': '|--', '⊨': '|==', '∠': '/_',
    '△': '/_\\', '∴': ':.', '∵': ':\'', '/': '//', '\u00a0': ' ',
}));

const ACCENTS = new Map(Object.entries({
    '^': 'hat', 'ˆ': 'hat', '\u0302': 'hat', '¯': 'bar', '‾': 'bar', '\u0304': 'bar', '\u0305': 'bar',
    '\u2015': 'bar',
    '→': 'vec', '\u20d7': 'vec', '~': 'tilde', '˜': 'tilde', '\u0303': 'tilde', '˙': 'dot',
    '\u0307': 'dot', '¨': 'ddot', '\u0308': 'ddot', '⏞': 'obrace', '⏟': 'ubrace', '_': 'ul',
}));

// Names that AsciiMath reads as functions; any other word is written as text, so that it neither
// splits into letters nor reads as a symbol ("sup" is a superset, "deg" a degree sign).
const FUNCTIONS = new Set(['sin', 'cos', 'tan', 'cot', 'sec', 'csc', 'sinh', 'cosh', 'tanh', 'coth', 'sech', 'csch',
    'arcsin', 'arccos', 'arctan', 'exp', 'log', 'ln', 'det', 'dim', 'gcd', 'lcm', 'min', 'max', 'lim', 'Lim', 'mod']);

// Functions that take what follows as their argument ("sin a/b" is (sin a)/b), and the commands
// that take one bracketed argument.
const APPLIED = new Set([...FUNCTIONS].filter((name) => !['dim', 'min', 'max', 'lim', 'Lim', 'mod'].includes(name)));
const UNARY = new Set([...APPLIED, 'sqrt', 'hat', 'bar', 'vec', 'tilde', 'dot', 'ddot', 'ul', 'obrace', 'ubrace',
    'cancel', 'bb', 'bbb', 'cc', 'fr', 'sf', 'tt']);

const FONTS = { bold: 'bb', 'bold-italic': 'bb', 'double-struck': 'bbb', script: 'cc', 'bold-script': 'cc',
    fraktur: 'fr', 'bold-fraktur': 'fr', 'sans-serif': 'sf', 'bold-sans-serif': 'sf', monospace: 'tt' };

// Symbols that AsciiMath would read as one longer symbol when written together ("+-" is ±).
const GLUES = /[-+=<>!~:|/*@.]/;

const OPEN = new Set(['(', '[', '{', '(:', '|', '‖', '|__', '|~']);
const CLOSE = new Set([')', ']', '}', ':)', '|', '‖', '__|', '~|']);
const SPACED = new Set(['+', '-', '=', '<', '>', '<=', '>=', '!=', '~~', '-=', '~', '~=', 'prop', '+-', '-+', 'xx',
    '-:', 'in', '!in', 'sub', 'sup', 'sube', 'supe', 'uu', 'nn', '->', 'larr', 'harr', '=>', 'lArr', '<=>',
    '|->', '^^', 'vv', 'o+', 'ox', '≪', '≫', ':=']);

// Relations TeX merged ("> =") are set off like one.
const isSpaced = (text) => SPACED.has(text) || /^[-+=<>!~:|/*@.]( [-+=<>!~:|/*@.])+$/.test(text);

const INVISIBLE = /[\u2061-\u2064\u200b]/g;

function symbol(text) {
    const clean = text.replace(INVISIBLE, '');
    if (SYMBOLS.has(clean))
        return SYMBOLS.get(clean);
    if (/^[A-Za-z][A-Za-z\s]+$/.test(clean) && !FUNCTIONS.has(clean))
        return `"${clean.replace(/\s+/g, ' ')}"`;
    // TeX merges neighbouring relations into one operator ("> =" of "<g>= 0"); AsciiMath would
    // read them as another symbol (>= is ≥), so each keeps its own blank.
    if (clean.length > 1 && clean !== ':=' && Array.from(clean).every((ch) => GLUES.test(ch)))
        return Array.from(clean).join(' ');
    return Array.from(clean).map((ch) => (SYMBOLS.has(ch) ? ` ${SYMBOLS.get(ch)} ` : ch)).join('').trim();
}

// A piece that can stand as an argument without brackets: one name, number, symbol, text or
// sealed bracket, or a command on its bracketed argument (sqrt(x), but not i(B), which reads as i and (B)).
function isAtom(text) {
    if (/^([A-Za-z]+|[0-9]+(\.[0-9]+)?|[^\sA-Za-z0-9]|"[^"]*"|\{:"[^"]*":\})$/u.test(text))
        return true;
    const command = /^([a-z]+)\(.*\)$/.exec(text);
    return Boolean(command) && UNARY.has(command[1]) && balanced(text);
}

function balanced(text) {
    // "sqrt(x)" is an atom, "f(x)+g(x)" is not: the first bracket must close at the end.
    let depth = 0;
    for (let i = text.indexOf('('); i < text.length; i++) {
        if (text[i] === '(')
            depth++;
        else if (text[i] === ')' && --depth === 0)
            return i === text.length - 1;
    }
    return false;
}

// A bracketed list alone in brackets reads as a matrix: G^((N,M)) is not G^{(N,M)}.
function isList(text) {
    return /^[([].*[)\]]$/.test(text) && balanced(`(${text.slice(1, -1)})`) && topLevel(text.slice(1, -1), ',');
}

// AsciiMath's brackets.
const LEFT = new Set(['(', '[', '{', '(:', '{:', '<<', '|:']);
const RIGHT = new Set([')', ']', '}', ':)', ':}', '>>', ':|']);
const LONE = { '(:': '⟨', ':)': '⟩', '<<': '⟨', '>>': '⟩', '{:': '', ':}': '', '|:': '|', ':|': '|' };
const ROW_END = { '(': ')', '[': ']' };

// Whether AsciiMath reads what a bracket pair holds as a matrix: bracketed lists only, all in ( )
// or all in [ ] (never ( ) inside braces), each with as many commas, separated by commas.
function holdsMatrix(text, { open, at, close, end, kids }) {
    const first = kids[0];
    if (!first || !ROW_END[first.open] || (first.open === '(' && close === '}')
        || kids.some((kid) => kid.open !== first.open || kid.close !== ROW_END[first.open]
            || kid.commas !== first.commas)
        || (kids.length === 1 && first.commas === 0))
        return false;
    let from = at + open.length;
    return kids.every((kid, index) => {
        const gap = text.slice(from, kid.at);
        from = kid.end + kid.close.length;
        return (index ? /^\s*,\s*$/ : /^\s*$/).test(gap);
    }) && /^\s*$/.test(text.slice(from, end));
}

// Calls visit(token, offset) for each bracket and comma of text as AsciiMath reads them: quoted
// text holds none, and ":|:" is a bar.
function scan(text, visit) {
    for (let at = 0; at < text.length; at++) {
        const ch = text[at];
        if (ch === '"') {
            const end = text.indexOf('"', at + 1);
            at = end < 0 ? text.length : end;
        } else if (text.startsWith(':|:', at)) {
            at += 2;
        } else if ('()[]{}<>:|,'.includes(ch)) {
            const pair = text.substr(at, 2);
            const token = LEFT.has(pair) || RIGHT.has(pair) ? pair : ch;
            if (token === ',' || LEFT.has(token) || RIGHT.has(token))
                visit(token, at);
            at += token.length - 1;
        }
    }
}

// The brackets that AsciiMath leaves unpaired (it pairs any left with the next free right), as
// [token, offset] in no order.
function unpaired(text) {
    const open = [];
    const lone = [];
    scan(text, (token, at) => {
        if (LEFT.has(token))
            open.push([token, at]);
        else if (RIGHT.has(token) && !open.pop())
            lone.push([token, at]);
    });
    return [...lone, ...open];
}

// The bracket pairs of text, inner ones first, each {open, at, close, end, matrix}.
function pairs(text) {
    const stack = [];
    const found = [];
    scan(text, (token, at) => {
        const top = stack[stack.length - 1];
        if (token === ',') {
            if (top)
                top.commas++;
        } else if (LEFT.has(token)) {
            stack.push({ open: token, at, commas: 0, kids: [] });
        } else if (top) {
            stack.pop();
            Object.assign(top, { close: token, end: at });
            top.matrix = holdsMatrix(text, top);
            found.push(top);
            if (stack.length)
                stack[stack.length - 1].kids.push(top);
        }
    });
    return found;
}

// A bracket without its partner would close the group around it early, or swallow its end
// (n^([mu) reads [mu) as one group): such a bracket is written as text, which nothing pairs, in
// an invisible group, since a script or fraction drops a leading "(" even from text.
function seal(text) {
    if (!/[()[\]{}<>]/.test(text))
        return text;
    const lone = unpaired(text).sort((a, b) => a[1] - b[1]);
    let out = '';
    let at = 0;
    for (const [token, index] of lone) {
        const shown = LONE[token] ?? token;
        out += text.slice(at, index) + (shown && `{:"${shown}":}`);
        at = index + token.length;
    }
    return out + text.slice(at);
}

// Whether two texts written together would make another symbol: "|" and ":}" make "|:" and "}".
function glued(left, right) {
    const last = left[left.length - 1] || '';
    const first = right[0] || '';
    return (GLUES.test(last) && GLUES.test(first)) || (/[({]/.test(last) && first === ':')
        || (last === ':' && /[)}]/.test(first));
}

function enclose(open, text, close) {
    return `${open}${glued(open, text) ? ' ' : ''}${text}${glued(text, close) ? ' ' : ''}${close}`;
}

// Text as the bracketed argument of a command or script.
function inBrackets(text, sealed = seal(text)) {
    const edge = sealed.trim();
    const list = /[([]/.test(edge[0]) && /[)\]]/.test(edge[edge.length - 1]) && sealed.includes(',');
    const outer = list ? pairs(`(${sealed})`) : [{}];
    return enclose('(', sealed, outer[outer.length - 1].matrix ? '{::})' : ')');
}

function group(text) {
    const sealed = seal(text);
    return isAtom(sealed) ? sealed : inBrackets(text, sealed);
}

// Scripts read best without blanks around their operators: x_(i+1), lim_(x->0); two symbols
// stay apart.
function compact(text) {
    return text.replace(/ +/g, (blank, at) => {
        const before = text[at - 1] || '';
        const after = text[at + blank.length] || '';
        const word = /[A-Za-z0-9"]/;
        return (word.test(before) && word.test(after)) || (GLUES.test(before) && GLUES.test(after)) ? ' ' : '';
    });
}

// Text cut at a separator outside brackets and quotes.
function splitTopLevel(text, separator) {
    const parts = [];
    let depth = 0;
    let quoted = false;
    let start = 0;
    for (let at = 0; at < text.length; at++) {
        const ch = text[at];
        if (ch === '"')
            quoted = !quoted;
        else if (!quoted && '([{'.includes(ch))
            depth++;
        else if (!quoted && ')]}'.includes(ch))
            depth--;
        else if (!quoted && depth === 0 && ch === separator) {
            parts.push(text.slice(start, at));
            start = at + 1;
        }
    }
    return [...parts, text.slice(start)];
}

// Whether a separator occurs in text outside brackets and quotes.
function topLevel(text, separator) {
    return splitTopLevel(text, separator).length > 1;
}

// Whether text holds a fraction outside brackets: "//" is a slash, "/_" an angle, "O/" the empty set.
function hasFraction(text) {
    const parts = splitTopLevel(text, '/');
    return parts.slice(1).some((after, at) => after !== '' && after[0] !== '_' && parts[at] !== ''
        && !parts[at].endsWith('O'));
}

// A function (or its power, sin^2) reads the next piece as its argument, so that a fraction after
// it would take the function into its numerator: "sin a/b" is (sin a)/b.
function takesArgument(piece, next) {
    const name = /^([A-Za-z]+)(?=[_^]|$)/.exec(piece.text);
    return Boolean(name) && (APPLIED.has(name[1]) || (/^[fg]$/.test(name[1]) && next.text[0] === '('));
}

// Joins pieces, adding the blanks that keep names apart and set operators off.
function join(pieces) {
    let out = '';
    let previous = null;
    const starts = [];
    for (let piece of pieces) {
        if (!piece.text)
            continue;
        if (previous && takesArgument(previous, piece) && hasFraction(piece.text))
            piece = { ...piece, text: enclose('{:', piece.text, ':}') };
        if (!piece.text.trim()) {
            // An explicit space (\, or a blank in text) keeps the tokens on either side apart.
            if (out && !out.endsWith(' '))
                out += ' ';
            continue;
        }
        if (out && !out.endsWith(' ')) {
            const spaced = isSpaced(piece.text) || (previous && isSpaced(previous.text));
            const prefix = piece.kind === 'prefix';
            if (glued(out, piece.text))
                out += ' ';
            else if (piece.text === ',' || piece.text === ';')
                out += '';
            else if (previous && previous.kind === 'prefix')
                out += '';
            else if (previous && (previous.text === ',' || previous.text === ';'))
                out += ' ';
            else if (spaced && !prefix && !(previous && OPEN.has(previous.text) && previous.kind === 'open'))
                out += ' ';
            else if (/[A-Za-z0-9"]$/.test(out) && /^[A-Za-z0-9"]/.test(piece.text))
                out += ' ';
            else if (previous && previous.kind === 'function' && piece.kind !== 'open')
                out += ' ';
        }
        starts.push(out.length);
        out += piece.text;
        previous = piece;
    }
    return keepLists(out, starts);
}

// A bracketed list alone between brackets of separate pieces reads as a matrix, f((a,b)): an
// empty group after it keeps it a list. starts: where each piece begins in text.
function keepLists(text, starts) {
    const pieceOf = (offset) => {
        let low = 0;
        let high = starts.length;
        while (low < high) {
            const middle = (low + high) >> 1;
            [low, high] = starts[middle] <= offset ? [middle + 1, high] : [low, middle];
        }
        return low;
    };
    const ends = (text.includes(',') ? pairs(text) : [])
        .filter((pair) => pair.matrix && pieceOf(pair.at) !== pieceOf(pair.end))
        .map((pair) => pair.end).sort((a, b) => a - b);
    let out = '';
    let at = 0;
    for (const end of ends) {
        out += `${text.slice(at, end)}{::}`;
        at = end;
    }
    return out + text.slice(at);
}

function rowPieces(children) {
    const pieces = [];
    children.forEach((child, index) => {
        if (typeof child === 'string')
            return;
        const name = localName(child);
        const text = convert(child);
        if (name === 'mo') {
            const form = child.attrs['data-mjx-texclass'];
            let kind = 'op';
            if (form === 'OPEN' || (OPEN.has(text) && !CLOSE.has(text)))
                kind = 'open';
            else if (form === 'CLOSE' || (CLOSE.has(text) && !OPEN.has(text)))
                kind = 'close';
            // A sign at the start, or after an operator or an opening bracket, binds to what follows.
            const before = pieces[pieces.length - 1];
            if ((text === '-' || text === '+') && (!before || before.kind === 'op' || before.kind === 'open'))
                kind = 'prefix';
            pieces.push({ text, kind });
        } else if (name === 'mi' && (FUNCTIONS.has(text) || /^"[A-Za-z]+"$/.test(text))) {
            pieces.push({ text, kind: 'function' });
        } else {
            pieces.push({ text, kind: 'atom', index });
        }
    });
    return pieces;
}

// A table's rows as AsciiMath: a \tag's label is no cell, short rows are padded (AsciiMath reads a
// table only when its rows are alike), and a cell's own commas are grouped apart from the separators.
function rows(table) {
    if (localName(table) === 'menclose') // column rules around an array
        return rows(elementChildren(table)[0]);
    if (localName(table) === 'mfrac') // a stack without a rule: \binom, \atop
        return elementChildren(table).map((part) => [cell(part)]);
    const found = elementChildren(table)
        .filter((row) => localName(row) === 'mtr' || localName(row) === 'mlabeledtr')
        .map((row) => {
            const entries = elementChildren(row).filter((entry) => localName(entry) === 'mtd');
            return entries.slice(localName(row) === 'mlabeledtr' ? 1 : 0).map(cell);
        });
    const width = Math.max(0, ...found.map((row) => row.length));
    return found.map((row) => [...row, ...Array(width - row.length).fill('')]);
}

// A table as AsciiMath between the given brackets; one cell alone is just its content.
function matrix(open, table, close) {
    const found = rows(table);
    if (found.length === 1 && found[0].length === 1 && !open && !close)
        return found[0][0];
    const body = found.map((row) => `(${row.join(',')})`).join(',');
    // Braces never close a table in AsciiMath: an invisible one goes inside them.
    return close === '}' ? `${open} {:${body}:} }` : `${open || '{:'}${body}${close || ':}'}`;
}

function cell(node) {
    const text = seal(convert(node));
    return topLevel(text, ',') && !/^\|.*\|$/.test(text) ? enclose('{:', text, ':}') : text;
}

const isStack = (node) => localName(node) === 'mtable'
    || (localName(node) === 'mfrac' && node.attrs.linethickness === '0')
    || (localName(node) === 'menclose' && !/strike/.test(node.attrs.notation) && elementChildren(node).length === 1
        && isStack(elementChildren(node)[0]));

function convertRow(node) {
    const children = elementChildren(node);
    // Brackets around a table make a matrix: ((a,b),(c,d)).
    const tableAt = children.findIndex(isStack);
    if (tableAt >= 0) {
        const bracket = (child, set) => (child && set.has(convert(child)) ? convert(child) : '');
        const open = tableAt === 1 ? bracket(children[0], OPEN) : '';
        const close = tableAt === children.length - 2 ? bracket(children[children.length - 1], CLOSE) : '';
        if ((open ? 1 : 0) + (close ? 1 : 0) + 1 === children.length)
            return matrix(open, children[tableAt], close);
    }
    return join(rowPieces(children));
}

// A script needs a base of one piece: nothing ({::}^14 C), or a run grouped invisibly.
function script(base, sub, sup) {
    const single = isAtom(base) || isList(base) || (base[0] === '(' && balanced(base));
    let out = base === '' ? '{::}' : single ? base : enclose('{:', seal(base), ':}');
    if (sub)
        out += `_${group(compact(sub))}`;
    if (sup)
        out += `^${group(compact(sup))}`;
    return out;
}

function convert(node) {
    if (typeof node === 'string')
        return symbol(node);
    const kids = elementChildren(node);
    const arg = (i) => (kids[i] ? convert(kids[i]) : '');
    switch (localName(node)) {
    case 'mi':
    case 'mn':
    case 'mo': {
        const raw = textContent(node).replace(INVISIBLE, '');
        const font = FONTS[node.attrs.mathvariant];
        return font && /^[A-Za-z0-9.]+$/.test(raw) ? `${font}(${raw})` : symbol(raw);
    }
    case 'mtext': {
        const text = textContent(node).replace(INVISIBLE, '');
        if (!text.trim())
            return text ? ' ' : '';
        return `"${text.replace(/"/g, "'")}"`;
    }
    case 'ms':
        return `"${textContent(node)}"`;
    case 'mspace':
        return ' ';
    case 'mfrac':
        return node.attrs.linethickness === '0' ? matrix('', node, '') : `${group(arg(0))}/${group(arg(1))}`;
    case 'msqrt':
        return `sqrt${inBrackets(join(rowPieces(node.children)))}`;
    case 'mroot':
        return `root${inBrackets(arg(1))}${inBrackets(arg(0))}`;
    case 'msub':
        return script(arg(0), arg(1), null);
    case 'msup':
        return script(arg(0), null, arg(1));
    case 'msubsup':
        return script(arg(0), arg(1), arg(2));
    case 'munder':
    case 'mover':
    case 'munderover': {
        const base = arg(0);
        const name = localName(node);
        const accentNode = kids[1];
        const accent = accentNode ? ACCENTS.get(textContent(accentNode).replace(INVISIBLE, '')) : undefined;
        if (name !== 'munderover' && accent && (localName(accentNode) === 'mo')) {
            if (name === 'mover' && accent !== 'ul' && accent !== 'ubrace')
                return `${accent}${inBrackets(base)}`;
            if (name === 'munder' && (accent === 'ul' || accent === 'ubrace' || accent === 'bar'))
                return `${accent === 'bar' ? 'ul' : accent}${inBrackets(base)}`;
        }
        if (name === 'munder')
            return script(base, arg(1), null);
        if (name === 'mover')
            return script(base, null, arg(1));
        return script(base, arg(1), arg(2));
    }
    case 'mtable':
        return matrix('', node, '');
    case 'mtr':
    case 'mlabeledtr':
        return `(${kids.map(convert).join(',')})`;
    case 'mfenced': {
        const open = node.attrs.open !== undefined ? node.attrs.open : '(';
        const close = node.attrs.close !== undefined ? node.attrs.close : ')';
        return `${symbol(open) || '{:'}${kids.map(convert).join(',')}${symbol(close) || ':}'}`;
    }
    case 'menclose':
        return node.attrs.notation === 'updiagonalstrike' ? `cancel${inBrackets(convertRow(node))}` : convertRow(node);
    case 'mphantom':
    case 'annotation':
    case 'annotation-xml':
    case 'none':
    case 'mprescripts':
        return '';
    case 'semantics':
        return kids.length ? convert(kids[0]) : '';
    case 'mmultiscripts':
        return script(arg(0), arg(1) || null, arg(2) || null);
    default: // math, mrow, mstyle, mpadded, merror, mtd, maction
        return convertRow(node);
    }
}

// AsciiMath of a MathML string; throws on markup it cannot read.
export function mathmlToAsciiMath(mathml) {
    return convert(parseXml(mathml)).replace(/\s+/g, ' ').trim();
}
