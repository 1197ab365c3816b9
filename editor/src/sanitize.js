// The HTML that recognised text may keep: no scripts, no styles beyond cell alignment, no
// forms or frames, no remote images, no link targets.

import DOMPurify from 'dompurify';

const ALIGNMENT_STYLE = /^\s*text-align:\s*(left|center|right)\s*;?\s*$/i;
let configured = false;

function configure() {
    DOMPurify.addHook('uponSanitizeAttribute', (node, data) => {
        if (data.attrName === 'style' && !ALIGNMENT_STYLE.test(data.attrValue))
            data.keepAttr = false;
    });
    DOMPurify.addHook('afterSanitizeAttributes', (node) => {
        if (node.tagName === 'IMG') {
            const src = node.getAttribute('src') || '';
            // A remote picture would load from the network; the page shows its description instead.
            if (!/^data:image\/(png|jpeg|gif|webp);base64,/i.test(src))
                node.removeAttribute('src');
        }
    });
    configured = true;
}

export function sanitizeToFragment(html) {
    if (!configured)
        configure();
    return DOMPurify.sanitize(html, {
        USE_PROFILES: { html: true },
        RETURN_DOM_FRAGMENT: true,
        FORBID_TAGS: ['style', 'form', 'input', 'button', 'textarea', 'select', 'option', 'iframe', 'frame',
            'frameset', 'object', 'embed', 'link', 'meta', 'base', 'audio', 'video', 'source', 'track', 'picture',
            'dialog', 'template', 'slot', 'portal'],
        FORBID_ATTR: ['target', 'srcset', 'action', 'formaction', 'ping', 'background', 'poster', 'autofocus',
            'contenteditable', 'id', 'name', 'form'],
        ALLOW_UNKNOWN_PROTOCOLS: false,
    });
}

// Pictures left without a source become their alternative text.
export function replaceSourcelessImages(root) {
    for (const image of Array.from(root.querySelectorAll('img:not([src])')))
        image.replaceWith(document.createTextNode(image.getAttribute('alt') || ''));
}
