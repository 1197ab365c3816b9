// A small XML reader for the MathML that MathJax writes: elements, attributes, text and the
// character references MathJax uses. It is not a general XML parser (no DTDs, no CDATA).

const NAMED = { amp: '&', lt: '<', gt: '>', quot: '"', apos: "'", nbsp: '\u00a0' };

export function decodeEntities(text) {
    return text.replace(/&(#x[0-9a-fA-F]+|#[0-9]+|[a-zA-Z]+);/g, (whole, ref) => {
        if (ref[0] === '#') {
            const code = ref[1] === 'x' ? parseInt(ref.slice(2), 16) : parseInt(ref.slice(1), 10);
            return code > 0 && code <= 0x10ffff ? String.fromCodePoint(code) : whole;
        }
        return Object.prototype.hasOwnProperty.call(NAMED, ref) ? NAMED[ref] : whole;
    });
}

export function escapeText(text) {
    return String(text).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
}

export function escapeAttribute(text) {
    return escapeText(text).replace(/"/g, '&quot;');
}

// Returns the root element as {name, attrs, children}; text children are strings.
export function parseXml(source) {
    const root = { name: '#root', attrs: {}, children: [] };
    const stack = [root];
    const tag = /<(\/?)([A-Za-z_][\w:.-]*)((?:\s+[\w:.-]+\s*=\s*(?:"[^"]*"|'[^']*'))*)\s*(\/?)>|<!--[\s\S]*?-->|<\?[\s\S]*?\?>/g;
    let last = 0;
    let match;
    while ((match = tag.exec(source)) !== null) {
        if (match.index > last)
            addText(stack[stack.length - 1], source.slice(last, match.index));
        last = tag.lastIndex;
        if (match[2] === undefined)
            continue; // comment or processing instruction
        const [, closing, name, attrText, selfClosing] = match;
        if (closing) {
            const top = stack[stack.length - 1];
            if (stack.length === 1 || top.name !== name)
                throw new Error(`Unexpected closing tag </${name}>`);
            stack.pop();
            continue;
        }
        const element = { name, attrs: parseAttributes(attrText), children: [] };
        stack[stack.length - 1].children.push(element);
        if (!selfClosing)
            stack.push(element);
    }
    if (last < source.length)
        addText(stack[stack.length - 1], source.slice(last));
    if (stack.length !== 1)
        throw new Error(`Unclosed element <${stack[stack.length - 1].name}>`);
    const elements = root.children.filter((child) => typeof child !== 'string');
    if (elements.length !== 1)
        throw new Error('Expected exactly one root element');
    return elements[0];
}

function addText(parent, raw) {
    if (raw.includes('<'))
        throw new Error('Malformed markup');
    parent.children.push(decodeEntities(raw));
}

function parseAttributes(text) {
    const attrs = {};
    const attr = /([\w:.-]+)\s*=\s*("([^"]*)"|'([^']*)')/g;
    let match;
    while ((match = attr.exec(text)) !== null)
        attrs[match[1]] = decodeEntities(match[3] !== undefined ? match[3] : match[4]);
    return attrs;
}

export function serializeXml(node) {
    if (typeof node === 'string')
        return escapeText(node);
    const attrs = Object.entries(node.attrs)
        .map(([key, value]) => ` ${key}="${escapeAttribute(value)}"`)
        .join('');
    if (node.children.length === 0)
        return `<${node.name}${attrs}/>`;
    return `<${node.name}${attrs}>${node.children.map(serializeXml).join('')}</${node.name}>`;
}

// Local name without a namespace prefix ("mml:mi" -> "mi").
export function localName(node) {
    const colon = node.name.indexOf(':');
    return colon < 0 ? node.name : node.name.slice(colon + 1);
}

export function elementChildren(node) {
    return node.children.filter((child) => typeof child !== 'string');
}

export function textContent(node) {
    if (typeof node === 'string')
        return node;
    return node.children.map(textContent).join('');
}
