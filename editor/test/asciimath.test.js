import assert from 'node:assert/strict';
import { test } from 'node:test';
import { liteAdaptor } from 'mathjax-full/js/adaptors/liteAdaptor.js';
import { SerializedMmlVisitor } from 'mathjax-full/js/core/MmlTree/SerializedMmlVisitor.js';
import { STATE } from 'mathjax-full/js/core/MathItem.js';
import { RegisterHTMLHandler } from 'mathjax-full/js/handlers/html.js';
import { AsciiMath } from 'mathjax-full/js/input/asciimath.js';
import { mathjax } from 'mathjax-full/js/mathjax.js';

import { mathmlToAsciiMath, SYMBOLS } from '../src/asciimath.js';
import { parseXml, textContent } from '../src/xml.js';

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
    ['relations TeX merged', '<mo>&lt;</mo><mi>g</mi><mo>&gt;=</mo><mn>0</mn><mo>=&gt;</mo><mi>b</mi><mo>:=</mo><mi>c</mi>',
        '< g > = 0 = > b := c'],
    ['symbols AsciiMath lacks or reads as brackets', '<mi>a</mi><mo>&#x226A;</mo><mi>b</mi><mo>&#x226B;</mo>'
        + '<mo>&#x222C;</mo><mo>&#x222D;</mo>', 'a ≪ b ≫ ∬∭'],
    ['lone brackets in scripts', '<msup><mi>n</mi><mrow><mo>[</mo><mi>&#x3BC;</mi></mrow></msup><msub><mrow></mrow>'
        + '<mi>i</mi></msub><msup><mi>e</mi><mrow><mi>b</mi><mo>]</mo></mrow></msup><msub><mi>x</mi><mo>(</mo></msub>'
        + '<msup><mi>y</mi><mrow><mi>a</mi><mo>&#x27E9;</mo></mrow></msup><msup><mi>z</mi><mtext>(a</mtext></msup>',
        'n^({:"[":}mu){::}_i e^(b{:"]":})x_{:"(":}y^(a{:"⟩":})z^"(a"'],
    ['lone brackets in a fraction, a root and a cell', '<mfrac><mrow><mo>(</mo><mi>a</mi></mrow><mrow><mi>b</mi>'
        + '<mo>)</mo></mrow></mfrac><msqrt><mo>[</mo><mi>x</mi></msqrt><mtable><mtr><mtd><mn>3</mn><mo>&#xD7;</mo>'
        + '<mo>)</mo></mtd><mtd><mi>a</mi></mtd></mtr></mtable>', '({:"(":}a)/(b{:")":})sqrt({:"[":}x){:(3 xx {:")":},a):}'],
    ['a name and a bracket in a script', '<msup><mi>x</mi><mrow><mi>i</mi><mo>(</mo><mi>B</mi><mo>)</mo></mrow></msup>'
        + '<msup><mi>H</mi><mrow><mo>&#x2297;</mo><mo>(</mo><mi>n</mi><mo>&#x2212;</mo><mn>1</mn><mo>)</mo></mrow></msup>'
        + '<msup><mi>e</mi><mrow><mi>sin</mi><mo>(</mo><mi>t</mi><mo>)</mo></mrow></msup>', 'x^(i(B))H^(ox(n-1))e^sin(t)'],
    ['a fraction after a function', '<msup><mi>sin</mi><mn>2</mn></msup><mo>&#x2061;</mo><mrow><mfrac><mi>&#x3B3;</mi>'
        + '<mn>2</mn></mfrac></mrow><mo>+</mo><mi>exp</mi><mo>&#x2061;</mo><mfrac><mrow><mo>&#x2212;</mo><mi>E</mi></mrow>'
        + '<mi>T</mi></mfrac><mo>+</mo><msub><mi>log</mi><mn>2</mn></msub><mo>&#x2061;</mo><mspace width="0.167em"></mspace>'
        + '<mfrac><mn>1</mn><mi>p</mi></mfrac>', 'sin^2{:gamma/2:} + exp {:(-E)/T:} + log_2 {:1/p:}'],
    ['a fraction after f only when it opens with a bracket', '<mi>f</mi><mfrac><mrow><mo>(</mo><mi>a</mi><mo>)</mo></mrow>'
        + '<mi>b</mi></mfrac><mo>+</mo><mi>f</mi><mfrac><mi>a</mi><mi>b</mi></mfrac>', 'f{:((a))/b:} + f a/b'],
    ['slashes and angles after a function', '<mi>sin</mi><mo>&#x2061;</mo><mrow><mi>a</mi><mrow><mo>/</mo></mrow><mi>b</mi>'
        + '</mrow><mo>+</mo><mi>sin</mi><mo>&#x2061;</mo><mi mathvariant="normal">&#x2220;</mi><mi>A</mi>',
        'sin a//b + sin /_A'],
    ['a bracketed list alone in brackets', '<mi>f</mi><mo>(</mo><mo>(</mo><mi>a</mi><mo>,</mo><mi>b</mi><mo>)</mo><mo>)</mo>'
        + '<msqrt><mo>(</mo><mi>a</mi><mo>,</mo><mi>b</mi><mo>)</mo></msqrt><mi>f</mi><mo>(</mo><mo>[</mo><mi>a</mi><mo>,</mo>'
        + '<mi>b</mi><mo>]</mo><mo>)</mo>', 'f((a, b){::})sqrt((a, b){::})f([a, b]{::})'],
    ['lists that no matrix reads', '<mi>f</mi><mo>(</mo><mo>(</mo><mi>a</mi><mo>,</mo><mi>b</mi><mo>)</mo><mo>,</mo>'
        + '<mi>c</mi><mo>)</mo><mo>+</mo><mi>f</mi><mo>(</mo><mo>(</mo><mi>a</mi><mo>,</mo><mi>b</mi><mo>)</mo><mo>,</mo>'
        + '<mo>(</mo><mi>c</mi><mo>)</mo><mo>)</mo><mo>+</mo><mi>f</mi><mo>(</mo><mo>(</mo><mi>a</mi><mo>)</mo><mo>,</mo>'
        + '<mi>b</mi><mo>,</mo><mo>(</mo><mi>c</mi><mo>)</mo><mo>)</mo><mo>+</mo><mi>f</mi><mo>(</mo><mo>(</mo><mi>a</mi>'
        + '<mo>)</mo><mo>(</mo><mi>b</mi><mo>,</mo><mi>c</mi><mo>)</mo><mo>)</mo><mo>{</mo><mo>(</mo><mi>a</mi><mo>,</mo>'
        + '<mi>b</mi><mo>)</mo><mo>}</mo><mi>f</mi><mo>(</mo><mo>(</mo><mi>a</mi><mo>)</mo><mo>)</mo><mi>f</mi><mo>(</mo>'
        + '<mo>(</mo><mi>a</mi><mo>,</mo><mi>b</mi><mo>)</mo><mi>x</mi><mo>(</mo><mi>c</mi><mo>,</mo><mi>d</mi><mo>)</mo>'
        + '<mo>)</mo><mi>f</mi><mo>(</mo><mo>(</mo><mi>a</mi><mo>,</mo><mi>b</mi><mo>)</mo><mo>,</mo><mo>(</mo><mi>c</mi>'
        + '<mo>,</mo><mi>d</mi><mo>]</mo><mo>)</mo>',
        'f((a, b), c) + f((a, b), (c)) + f((a), b, (c)) + f((a)(b, c)){(a, b)}f((a))f((a, b)x(c, d))f((a, b), (c, d])'],
    ['bars and braces over and under', '<munder><mi>x</mi><mo accent="true">&#x2015;</mo></munder><munder><mrow><mi>a</mi>'
        + '<mo>+</mo><mi>b</mi></mrow><mo>&#x23DF;</mo></munder><mover><mi>c</mi><mo>&#x23DE;</mo></mover><mover><mi>d</mi>'
        + '<mo accent="true">&#x2015;</mo></mover><mo>{</mo><mi>a</mi><mo>;</mo><mi>b</mi><mo>}</mo>',
        'ul(x)ubrace(a + b)obrace(c)bar(d){a; b}'],
    ['struck out and boxed', '<menclose notation="updiagonalstrike"><mi>x</mi><mo>+</mo><mi>y</mi></menclose><mo>+</mo>'
        + '<menclose notation="box"><mi>z</mi></menclose>', 'cancel(x + y) + z'],
    ['a bar or bracket beside a colon', '<msub><mrow><mo data-mjx-texclass="OPEN"></mo><mfrac><mi>a</mi><mi>b</mi></mfrac>'
        + '<mo data-mjx-texclass="CLOSE">|</mo></mrow><mn>0</mn></msub><mo>(</mo><mo>:</mo><mi>x</mi><mo>:</mo><mo>)</mo>',
        '{:a/b| :}_0( :x: )'],
];

for (const [name, inner, expected] of CASES) {
    test(`AsciiMath: ${name}`, () => {
        assert.equal(mathmlToAsciiMath(`<math xmlns="http://www.w3.org/1998/Math/MathML">${inner}</math>`), expected);
    });
}

// The AsciiMath reader's own glyph for a symbol that TeX draws with a look-alike.
const READ_AS = { '\u2212': '-', '·': '⋅', '⩽': '≤', '⩾': '≥', '⟶': '→', '⟵': '←', '⟹': '⇒', '⟺': '⇔', '″': '′′',
    '…': '...', '⟨': '\u2329', '⟩': '\u232a', '\u3008': '\u2329', '\u3009': '\u232a', '\u00a0': '', '°': '∘' };

test('every symbol the converter names reads back as itself', () => {
    RegisterHTMLHandler(liteAdaptor());
    const reader = mathjax.document('', { InputJax: new AsciiMath({}) });
    const visitor = new SerializedMmlVisitor();
    for (const ch of [...SYMBOLS.keys(), '≪', '≫', '∬', '∭']) {
        const markup = `<math><mi>a</mi><mo>${ch.replace(/&/g, '&amp;').replace(/</g, '&lt;')}</mo><mi>b</mi></math>`;
        const back = visitor.visitTree(reader.convert(mathmlToAsciiMath(markup), { end: STATE.COMPILED }));
        assert.equal(textContent(parseXml(back)).replace(/\s/g, ''), `a${READ_AS[ch] ?? ch}b`, ch);
    }
});
