import assert from 'node:assert/strict';
import { test } from 'node:test';

import { mathmlToWordMathml } from '../src/wordmathml.js';

test('Word MathML is prefixed, declares both namespaces, drops the rest and escapes text', () => {
    assert.equal(mathmlToWordMathml('<math xmlns="http://www.w3.org/1998/Math/MathML" display="block"><semantics>'
        + '<mrow data-mjx-texclass="ORD" class="x"><mi>x</mi><mo>&lt;</mo><mn>2</mn></mrow><annotation '
        + 'encoding="TeX">x&lt;2</annotation></semantics></math>'),
    '<mml:math xmlns:mml="http://www.w3.org/1998/Math/MathML" '
        + 'xmlns:m="http://schemas.openxmlformats.org/officeDocument/2006/math" display="block"><mml:mrow>'
        + '<mml:mi>x</mml:mi><mml:mo>&lt;</mml:mo><mml:mn>2</mml:mn></mml:mrow></mml:math>');
    assert.throws(() => mathmlToWordMathml('<svg></svg>'));
});
