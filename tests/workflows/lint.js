// Lints GitHub Actions workflows with actionlint's WebAssembly build, offline.
// Talks to the WebAssembly module directly: the package's own command line
// needs a newer Node.js than Debian 12 ships.
//
// usage: node lint.js WORKFLOW.yml...
// Prints each finding as FILE:LINE:COLUMN: MESSAGE [KIND]; exits 1 on any
// finding or when given no file, 0 otherwise.
"use strict";
const fs = require("fs");
const path = require("path");

const home = path.join(__dirname, "node_modules", "@tktco", "node-actionlint");
globalThis.crypto ??= require("crypto").webcrypto; // Node.js 18 has no global one

async function actionlint() {
    require(path.join(home, "wasm_exec.js"));
    const go = new globalThis.Go();
    const { instance } = await WebAssembly.instantiate(fs.readFileSync(path.join(home, "main.wasm")), go.importObject);
    go.run(instance);
    return globalThis.runActionlint;
}

async function main(files) {
    if (files.length === 0) throw new Error("no workflow given");
    const lint = await actionlint();
    let findings = 0;
    for (const file of files) {
        for (const finding of lint(fs.readFileSync(file, "utf8"), file)) {
            if (!finding.message) continue;
            console.log(`${file}:${finding.line}:${finding.column}: ${finding.message} [${finding.kind}]`);
            ++findings;
        }
    }
    console.log(`actionlint: ${files.length} workflow(s), ${findings} finding(s)`);
    return findings === 0;
}

main(process.argv.slice(2)).then(
    (clean) => process.exit(clean ? 0 : 1),
    (error) => {
        console.error(`actionlint: ${error.message}`);
        process.exit(1);
    });
