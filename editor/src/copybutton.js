// The page's own copy button: copies the source text of the rendering.

let button = null;
let sourceText = '';

const ICON = '<svg viewBox="0 0 16 16" width="16" height="16" aria-hidden="true"><rect x="5" y="5" width="9" '
    + 'height="9" rx="1.5" fill="none" stroke="currentColor" stroke-width="1.4"/><path d="M3 11V3.5A1.5 1.5 0 0 1 '
    + '4.5 2H11" fill="none" stroke="currentColor" stroke-width="1.4"/></svg>';

function copy() {
    const area = document.createElement('textarea');
    area.value = sourceText;
    area.setAttribute('readonly', '');
    area.className = 'zq-copy-buffer';
    document.body.appendChild(area);
    area.select();
    let done = false;
    try {
        done = document.execCommand('copy');
    } finally {
        area.remove();
    }
    if (done) {
        button.classList.add('zq-copied');
        setTimeout(() => button.classList.remove('zq-copied'), 1200);
    }
}

export function installCopyButton(content) {
    button = document.createElement('button');
    button.type = 'button';
    button.className = 'zq-copy-button';
    button.title = 'Copy';
    button.innerHTML = ICON;
    button.hidden = true;
    button.addEventListener('mousedown', (event) => event.preventDefault());
    button.addEventListener('click', (event) => {
        event.preventDefault();
        event.stopPropagation();
        copy();
    });
    content.appendChild(button);
    return button;
}

// Shows or hides the button for the next rendering; content re-attaches it after each render.
export function setCopyButton(enabled, text) {
    sourceText = text;
    button.hidden = !enabled;
}

export function copyButton() {
    return button;
}
