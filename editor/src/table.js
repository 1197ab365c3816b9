// The table model shared by LaTeX tabulars and Markdown tables, and its text formats.
// A table is {rows: [[{text, colspan, rowspan}]], align: ['left'|'center'|'right'|'']}.
// Cells that a span covers are not stored; grid() lays them out as empty strings.

import { escapeAttribute, escapeText } from './xml.js';

export function makeCell(text, colspan = 1, rowspan = 1) {
    return { text, colspan: Math.max(1, colspan | 0), rowspan: Math.max(1, rowspan | 0) };
}

// The column of every stored cell, skipping positions that spans from above cover.
function columns(table) {
    const taken = [];
    return table.rows.map((row, r) => {
        taken[r] = taken[r] || new Set();
        let c = 0;
        return row.map((cell) => {
            while (taken[r].has(c))
                c++;
            for (let dr = 0; dr < cell.rowspan; dr++) {
                taken[r + dr] = taken[r + dr] || new Set();
                for (let dc = 0; dc < cell.colspan; dc++)
                    taken[r + dr].add(c + dc);
            }
            const at = c;
            c += cell.colspan;
            return at;
        });
    });
}

// The table as a rectangular array of strings, spans filled with empty strings.
export function grid(table) {
    const positions = columns(table);
    const out = [];
    let width = 0;
    table.rows.forEach((row, r) => {
        row.forEach((cell, i) => {
            const c = positions[r][i];
            for (let dr = 0; dr < cell.rowspan; dr++) {
                out[r + dr] = out[r + dr] || [];
                for (let dc = 0; dc < cell.colspan; dc++)
                    out[r + dr][c + dc] = dr === 0 && dc === 0 ? cell.text : '';
            }
            width = Math.max(width, c + cell.colspan);
        });
    });
    // A rowspan reaching past the last row adds no rows.
    return out.slice(0, table.rows.length).map((row) =>
        Array.from({ length: width }, (_, c) => (row && row[c] !== undefined ? row[c] : '')));
}

export function toCsv(table) {
    const quote = (field) => (/[",\r\n]/.test(field) ? `"${field.replace(/"/g, '""')}"` : field);
    return grid(table)
        .map((row) => row.map(quote).join(','))
        .join('\r\n');
}

// TSV as spreadsheets put it on the clipboard: a cell with a quote, tab or line break is quoted,
// its quotes doubled, so that it pastes back whole.
export function toTsv(table) {
    const quote = (field) => (/["\t\r\n]/.test(field) ? `"${field.replace(/"/g, '""')}"` : field);
    return grid(table)
        .map((row) => row.map(quote).join('\t'))
        .join('\n');
}

export function toMarkdown(table) {
    const rows = grid(table);
    if (rows.length === 0)
        return '';
    const width = rows[0].length;
    const cell = (field) => ` ${field.replace(/\|/g, '\\|').replace(/\r?\n/g, '<br>')} `.replace(/^ {2}$/, ' ');
    const line = (row) => `|${row.map(cell).join('|')}|`;
    const rule = Array.from({ length: width }, (_, c) => {
        switch ((table.align || [])[c]) {
        case 'center':
            return ':---:';
        case 'right':
            return '---:';
        case 'left':
            return ':---';
        default:
            return '---';
        }
    });
    return [line(rows[0]), `|${rule.join('|')}|`, ...rows.slice(1).map(line)].join('\n');
}

// Plain HTML of the table, cell text escaped; renderCell may give the HTML of a cell instead.
export function toHtml(table, renderCell = escapeText) {
    const align = table.align || [];
    const positions = columns(table);
    const body = table.rows
        .map((row, r) => {
            const cells = row.map((cell, i) => {
                const c = positions[r][i];
                let attrs = '';
                if (cell.colspan > 1)
                    attrs += ` colspan="${cell.colspan}"`;
                if (cell.rowspan > 1)
                    attrs += ` rowspan="${cell.rowspan}"`;
                if (align[c])
                    attrs += ` style="text-align: ${escapeAttribute(align[c])}"`;
                return `<td${attrs}>${renderCell(cell.text)}</td>`;
            });
            return `<tr>${cells.join('')}</tr>`;
        })
        .join('');
    return `<table>${body}</table>`;
}

// A table from markdown-it's tokens between table_open and table_close (inclusive).
export function tableFromTokens(tokens) {
    const rows = [];
    const align = [];
    let row = null;
    let inHead = false;
    for (let i = 0; i < tokens.length; i++) {
        const token = tokens[i];
        if (token.type === 'thead_open')
            inHead = true;
        else if (token.type === 'thead_close')
            inHead = false;
        else if (token.type === 'tr_open')
            row = [];
        else if (token.type === 'tr_close') {
            rows.push(row);
            row = null;
        } else if ((token.type === 'th_open' || token.type === 'td_open') && row) {
            if (inHead) {
                const style = token.attrGet('style') || '';
                const found = /text-align:\s*(left|center|right)/.exec(style);
                align[row.length] = found ? found[1] : '';
            }
            const inline = tokens[i + 1];
            row.push(makeCell(inline && inline.type === 'inline' ? inline.content : ''));
        }
    }
    return { rows, align };
}
