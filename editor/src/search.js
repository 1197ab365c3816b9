// The first index of needle at or after from. Scans of one text ask for the same delimiters
// again and again from growing positions; remembering the last answer keeps a text full of
// unclosed delimiters linear instead of quadratic.
const searches = new Map();

export function nextIndex(src, needle, from) {
    const cached = searches.get(needle);
    if (cached && cached.src === src && from >= cached.from && (cached.at < 0 || cached.at >= from))
        return cached.at;
    const at = src.indexOf(needle, from);
    searches.set(needle, { src, from, at });
    return at;
}

