// The browser build's sprite lanes (WebAssembly SIMD) give the bytes of the
// MMX arithmetic for every source byte, screen byte and weight.
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import { test } from "node:test";

test("the sprite lanes compiled to WebAssembly SIMD blend every byte as the MMX arithmetic does", () => {
    const check = process.env.QH_LANES_CHECK;
    assert.ok(check && fs.existsSync(check), `no ${check}: the browser build makes it`);
    const out = execFileSync(process.execPath, [check]).toString();
    assert.match(out, /^lanes: 0 of [1-9][0-9]* pixels differ/);
});
