// Brenvik in the browser: puts the page together as one file that works
// from disk as well as from a server. The style, the page's script and the
// worker (the compiled tool with its glue, the WebAssembly inlined) go
// into the HTML, and the Content-Security-Policy allows exactly those
// inline pieces, WebAssembly and a worker from a blob: URL, and forbids
// every connection.
//   node assemble.js TEMPLATE STYLE PAGE_SCRIPT WORKER_SCRIPT VERSION OUTPUT
'use strict';
const crypto = require('crypto');
const fs = require('fs');

const [template, style, page, worker, version, output] = process.argv.slice(2);
const read = (path) => fs.readFileSync(path, 'utf8');
const hash = (text) =>
  "'sha256-" + crypto.createHash('sha256').update(text, 'utf8').digest('base64') + "'";

const pieces = {STYLE: read(style), PAGE: read(page), WORKER: read(worker), VERSION: version};
for (const name of ['PAGE', 'WORKER']) {
  // Inside a <script> element these would end it early.
  if (/<\/script|<!--/i.test(pieces[name])) {
    console.error(`assemble.js: the ${name} script holds "</script" or "<!--"`);
    process.exit(1);
  }
}
pieces.CSP = [
  "default-src 'none'",
  `script-src ${hash(pieces.PAGE)} 'wasm-unsafe-eval'`,
  `style-src ${hash(pieces.STYLE)}`,
  'worker-src blob:',
  "connect-src 'none'",
  // The page's own icon is a data: URI; without one, engines ask the
  // server for /favicon.ico.
  'img-src data:',
  "base-uri 'none'",
  "form-action 'none'",
].join('; ');

let html = read(template);
for (const [name, text] of Object.entries(pieces)) html = html.split(`@${name}@`).join(text);
fs.writeFileSync(output, html);
