import assert from 'node:assert/strict';
import { test } from 'node:test';

import { mathmlToAsciiMath } from '../src/asciimath.js';

// MathML as the page's TeX engine writes it, and the AsciiMath a reader would type.
const CASES = [
    ['fraction', '<mfrac><mrow><mi>a</mi><mo>+</mo><mi>b</mi></mrow><mn>2</mn></mfrac>', '(a + b)/2'],
    ['simple fraction', '<mfrac><mn>1</mn><mi>x</mi></mfrac>', '1/x'],
    ['nested fraction', '<mfrac><mfrac><mi>a</mi><mi>b</mi></mfrac><mi>c</mi></mfrac>', '(a/b)/c'],
    ['square root', '<msqrt><msup><mi>x</mi><mn>2</mn></msup><mo>+</mo><mn>1</mn></msqrt>', 'sqrt(x^2 + 1)'],
    ['square root of one token', '<msqrt><mi>x</mi></msqrt>', 'sqrt(x)'],
    ['nth root', '<mroot><mi>x</mi><mn>3</mn></mroot>', 'root(3)(x)'],
    ['subscript and superscript', '<msubsup><mi>x</mi><mrow><mi>i</mi><mo>+</mo><mn>1</mn></mrow><mn>2</mn></msubsup>',
        'x_(i+1)^2'],
    ['multi-digit power', '<msup><mi>e</mi><mrow><mo>&#x2212;</mo><mn>2</mn><mi>t</mi></mrow></msup>', 'e^(-2 t)'],
    ['greek and relations', '<mi>&#x3B1;</mi><mo>+</mo><mi>&#x3B2;</mi><mo>&#x2264;</mo><mi mathvariant="normal">&#x393;</mi>',
        'alpha + beta <= Gamma'],
    ['sum with limits', '<munderover><mo data-mjx-texclass="OP">&#x2211;</mo><mrow><mi>i</mi><mo>=</mo><mn>1</mn></mrow>'
        + '<mi>n</mi></munderover><mi>i</mi>', 'sum_(i=1)^n i'],
    ['integral', '<msubsup><mo data-mjx-texclass="OP">&#x222B;</mo><mn>0</mn><mn>1</mn></msubsup><mi>f</mi>'
        + '<mo stretchy="false">(</mo><mi>x</mi><mo stretchy="false">)</mo><mspace width="0.167em"></mspace>'
        + '<mi>d</mi><mi>x</mi>', 'int_0^1 f(x) d x'],
    ['limit', '<munder><mo movablelimits="true">lim</mo><mrow><mi>x</mi><mo stretchy="false">&#x2192;</mo><mn>0</mn>'
        + '</mrow></munder>', 'lim_(x->0)'],
    ['matrix in parentheses', '<mrow data-mjx-texclass="INNER"><mo data-mjx-texclass="OPEN">(</mo><mtable><mtr><mtd>'
        + '<mi>a</mi></mtd><mtd><mi>b</mi></mtd></mtr><mtr><mtd><mi>c</mi></mtd><mtd><mi>d</mi></mtd></mtr></mtable>'
        + '<mo data-mjx-texclass="CLOSE">)</mo></mrow>', '((a,b),(c,d))'],
    ['determinant bars', '<mrow><mo>|</mo><mtable><mtr><mtd><mn>1</mn></mtd><mtd><mn>2</mn></mtd></mtr></mtable><mo>|</mo></mrow>',
        '|(1,2)|'],
    ['cases', '<mrow><mo>{</mo><mtable><mtr><mtd><mn>1</mn></mtd><mtd><mi>x</mi><mo>&gt;</mo><mn>0</mn></mtd></mtr>'
        + '</mtable></mrow>', '{(1,x > 0):}'],
    ['function application', '<mi>sin</mi><mo>&#x2061;</mo><mi>x</mi><mo>&#x2212;</mo><mn>3</mn>', 'sin x - 3'],
    ['vector accent', '<mover><mi>v</mi><mo stretchy="false">&#x2192;</mo></mover>', 'vec(v)'],
    ['hat accent', '<mover><mi>x</mi><mo>^</mo></mover>', 'hat(x)'],
    ['leading minus', '<mo>&#x2212;</mo><mn>1</mn>', '-1'],
    ['operators', '<mi>a</mi><mo>&#xD7;</mo><mi>b</mi><mo>&#xB1;</mo><mi>c</mi><mo>&#x2260;</mo><mn>&#x221E;</mn>',
        'a xx b +- c != oo'],
    ['sets', '<mi>x</mi><mo>&#x2208;</mo><mrow><mi mathvariant="double-struck">R</mi></mrow>', 'x in bbb(R)'],
    ['text', '<mtext>if&#xA0;</mtext><mi>x</mi>', '"if " x'],
    ['decimal', '<mn>3.14</mn><mi>r</mi>', '3.14 r'],
    // Each of these read back as another formula once.
    ['slash and fonts', '<mi>c</mi><mo>/</mo><mi mathvariant="bold">AB</mi><mi mathvariant="script">F</mi>'
        + '<mi mathvariant="normal">ab</mi>', 'c//bb(AB)cc(F)"ab"'],
    ['symbols kept apart', '<mi>a</mi><mo>+</mo><mo>&#x2212;</mo><mi>&#x210F;</mi><mo>&gt;</mo><mo>=</mo>'
        + '<msub><mi>&#x2113;</mi><mrow><mo>+</mo><mo>&#x2212;</mo></mrow></msub>', 'a + -ℏ > = ℓ_(+ -)'],
    ['script bases', '<msup><mrow></mrow><mn>14</mn></msup><mi>C</mi><msup><mi>ab</mi><mn>2</mn></msup>'
        + '<msup><mrow><mi>x</mi><mo>+</mo><mi>y</mi></mrow><mn>2</mn></msup>', '{::}^14 C "ab"^2{:x + y:}^2'],
    ['words and bracketed scripts', '<munder><mo>sup</mo><mi>x</mi></munder><mi>f</mi><msup><mi>G</mi><mrow>'
        + '<mo>(</mo><mi>N</mi><mo>,</mo><mi>M</mi><mo>)</mo></mrow></msup>', '"sup"_x f G^((N,M){::})'],
    ['binomial', '<mrow><mo>(</mo><mfrac linethickness="0"><mi>n</mi><mi>k</mi></mfrac><mo>)</mo></mrow>',
        '((n),(k))'],
    ['tag and ragged rows', '<mtable><mlabeledtr><mtd><mtext>(1)</mtext></mtd><mtd><mi>a</mi><mo>,</mo><mi>b</mi>'
        + '</mtd><mtd><mi>c</mi></mtd></mlabeledtr><mtr><mtd><mi>d</mi></mtd></mtr></mtable>', '{:({:a, b:},c),(d,):}'],
];

for (const [name, inner, expected] of CASES) {
    test(`AsciiMath: ${name}`, () => {
        assert.equal(mathmlToAsciiMath(`<math xmlns="http://www.w3.org/1998/Math/MathML">${inner}</math>`), expected);
    });
}
