// MathML in the shape that word processors accept on paste: every element in the "mml" prefix of
// the MathML namespace, the Office maths namespace declared, and none of the renderer's own
// attributes, semantics wrappers or annotations.

import { elementChildren, localName, parseXml, serializeXml } from './xml.js';

const MATHML_NS = 'http://www.w3.org/1998/Math/MathML';
const OFFICE_NS = 'http://schemas.openxmlformats.org/officeDocument/2006/math';
const DROPPED_ATTRIBUTES = /^(data-|class$|style$|id$|xmlns|href$|xlink:|on)/i;

function transform(node) {
    if (typeof node === 'string')
        return node;
    const name = localName(node);
    if (name === 'semantics') {
        const first = elementChildren(node)[0];
        return first ? transform(first) : null;
    }
    if (name === 'annotation' || name === 'annotation-xml')
        return null;
    const attrs = {};
    for (const [key, value] of Object.entries(node.attrs)) {
        if (!DROPPED_ATTRIBUTES.test(key))
            attrs[key] = value;
    }
    const children = node.children.map(transform).filter((child) => child !== null);
    return { name: `mml:${name}`, attrs, children };
}

export function mathmlToWordMathml(mathml) {
    const root = parseXml(mathml);
    if (localName(root) !== 'math')
        throw new Error('Not a MathML document');
    const word = transform(root);
    word.attrs = { 'xmlns:mml': MATHML_NS, 'xmlns:m': OFFICE_NS, ...word.attrs };
    return serializeXml(word);
}
