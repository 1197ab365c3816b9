// Builds the editor page into one self-contained HTML file: the bundled script, the styles with
// their fonts, and the chemistry engine's WebAssembly, packed.
// Usage: node build.mjs <output.html>

import { createHash } from 'node:crypto';
import { mkdirSync, readFileSync, writeFileSync, renameSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { gzipSync } from 'node:zlib';
import * as esbuild from 'esbuild';

const here = dirname(fileURLToPath(import.meta.url));
const output = process.argv[2];
if (!output) {
    console.error('Usage: node build.mjs <output.html>');
    process.exit(2);
}

const common = { bundle: true, write: false, minify: true, target: 'chrome87', logLevel: 'warning', absWorkingDir: here };

const script = await esbuild.build({
    ...common,
    entryPoints: ['src/main.js'],
    format: 'iife',
    platform: 'browser',
    legalComments: 'eof', // the libraries' licence notices travel with them
    // The chemistry engine's loader mentions Node modules on a path that never runs in the page.
    external: ['node:fs', 'node:crypto', 'fs', 'path', 'crypto'],
    define: { 'process.env.NODE_ENV': '"production"' },
});

// The TeX engine as a script of its own, run on first use; it defines window.ZqMathJax.
const engine = await esbuild.build({
    ...common,
    entryPoints: ['src/mathjax-engine.js'],
    format: 'iife',
    globalName: 'ZqMathJax',
    platform: 'browser',
    legalComments: 'eof', // the libraries' licence notices travel with them
});

const style = await esbuild.build({
    ...common,
    entryPoints: ['src/page.css'],
    loader: { '.woff2': 'dataurl' },
});

// Script text inside the HTML must not close its element or open a comment.
const inline = (text) => text.replace(/<\/(script)/gi, '<\\/$1').replace(/<!--/g, '<\\!--');
const js = inline(script.outputFiles[0].text);
const mathjax = inline(engine.outputFiles[0].text);
const css = style.outputFiles[0].text.replace(/<\/(style)/gi, '<\\/$1');
const sha = (text) => `'sha256-${createHash('sha256').update(text, 'utf8').digest('base64')}'`;
const wasm = readFileSync(join(here, 'node_modules/@rdkit/rdkit/dist/RDKit_minimal.wasm'));
const packed = gzipSync(wasm, { level: 9 }).toString('base64');

const page = readFileSync(join(here, 'src/page.html'), 'utf8')
    .replace('%SCRIPT_HASHES%', () => `${sha(js)} ${sha(mathjax)}`)
    .replace('%MATHJAX%', () => mathjax)
    .replace('%STYLE%', () => css)
    .replace('%RDKIT_WASM%', () => packed)
    .replace('%SCRIPT%', () => js);

mkdirSync(dirname(output), { recursive: true });
writeFileSync(`${output}.part`, page);
renameSync(`${output}.part`, output);
console.log(`Editor page: ${(page.length / 1048576).toFixed(1)} MiB (script ${(js.length / 1024).toFixed(0)} KiB, `
    + `TeX engine ${(mathjax.length / 1024).toFixed(0)} KiB, chemistry ${(packed.length / 1024).toFixed(0)} KiB)`);
