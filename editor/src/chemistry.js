// SMILES through RDKit's MinimalLib (WebAssembly): depiction as SVG, MOL block, InChI, InChIKey.
// The module compiles asynchronously when the first molecule asks for it; until it is ready
// molecules show as their SMILES text and only the "smiles" format is known.

import initRDKitModule from '@rdkit/rdkit';

let rdkit = null;
let starting = null;
let failed = false;

function fail(message, error) {
    console.error(message, error && error.message);
    failed = true;
    document.documentElement.dataset.chemistry = 'failed';
}

async function wasmBytes(element) {
    const packed = Uint8Array.from(atob(element.textContent.trim()), (c) => c.charCodeAt(0));
    const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'));
    return new Uint8Array(await new Response(stream).arrayBuffer());
}

export function startChemistry() {
    if (starting)
        return starting;
    const element = document.getElementById('zq-rdkit-wasm');
    if (!element) {
        failed = true;
        return (starting = Promise.resolve(false));
    }
    document.documentElement.dataset.chemistry = 'starting';
    starting = wasmBytes(element)
        .then((bytes) => initRDKitModule({
            // The engine's own loader would fetch a file; the page hands it the bytes it carries.
            instantiateWasm(imports, receive) {
                WebAssembly.instantiate(bytes, imports).then((result) => receive(result.instance),
                    (error) => fail('[editor] Chemistry engine did not compile:', error));
                return {};
            },
            print() {},
            printErr() {},
        }))
        .then((module) => {
            rdkit = module;
            element.textContent = ''; // the packed binary is no longer needed
            document.documentElement.dataset.chemistry = 'ready';
            return true;
        })
        .catch((error) => {
            fail('[editor] Chemistry engine failed to start:', error);
            return false;
        });
    return starting;
}

export function chemistryReady() {
    return rdkit !== null;
}

// Started, and neither ready nor failed yet.
export function chemistryStarting() {
    return starting !== null && rdkit === null && !failed;
}

// Puts every drawn colour on currentColor, so the molecule follows the page's text colour.
function recolour(svg) {
    return svg
        .replace(/<rect[^>]*>\s*<\/rect>/, '')
        .replace(/#[0-9A-Fa-f]{6}\b/g, 'currentColor');
}

// {svg, mol, inchi, inchiKey} of one SMILES, drawn at the given size; null when it does not
// parse or RDKit is not ready.
export function describeMolecule(smiles, size = { width: 240, height: 180 }) {
    if (!rdkit || !smiles || smiles.length > 2000)
        return null;
    let mol = null;
    try {
        mol = rdkit.get_mol(smiles);
        if (!mol || !mol.is_valid())
            return null;
        const svg = recolour(mol.get_svg_with_highlights(JSON.stringify({ ...size, clearBackground: false })));
        const molBlock = mol.get_molblock();
        const inchi = mol.get_inchi();
        const inchiKey = inchi ? rdkit.get_inchikey_for_inchi(inchi) : '';
        return { svg, mol: molBlock, inchi, inchiKey };
    } catch (error) {
        return null;
    } finally {
        if (mol)
            mol.delete();
    }
}
