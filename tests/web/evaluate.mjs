// SPDX-License-Identifier: GPL-3.0-or-later
// Runs readings through the site's WebAssembly module under node, as the page calls it,
// and a log whose file's name holds what a line-based request would have split on.
// Usage: node evaluate.mjs SITE_DIR < requests.json > answers.json
// (a JSON list of requests, each the page's boxes by id; answers back: {answers, fuels,
// logs: [{name, answer, written}], money: the answers of a log with consumptions typed}).
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const site = process.argv[2];
const { default: factory } = await import(pathToFileURL(path.join(site, 'quemador.mjs')));
// The page's own calls through the heap (a .js file node would take for CommonJS, so
// imported as a module from its text).
const { callJson } = await import('data:text/javascript,' +
  encodeURIComponent(fs.readFileSync(path.join(site, 'module.js'), 'utf8')));
// The page fetches its .wasm; here it is read from the folder. The log's bytes come from
// a buffer, its results gather in a text.
const log = { input: Buffer.alloc(0), at: 0, written: '' };
const module = await factory({
  wasmBinary: fs.readFileSync(path.join(site, 'quemador.wasm')),
  leerRegistro(buffer) {
    const n = Math.min(buffer.length, log.input.length - log.at);
    buffer.set(log.input.subarray(log.at, log.at + n));
    log.at += n;
    return n;
  },
  escribirResultados(bytes) { log.written += Buffer.from(bytes).toString('utf8'); },
  avance() {},
});
const requests = JSON.parse(fs.readFileSync(0, 'utf8'));
const answers = requests.map((values) => callJson(module, 'quemador_evaluate', values));
const fuels = callJson(module, 'quemador_fuels');
// A log without a fuel column, read with natural gas, under names that a request of
// lines would have read as more options.
const logs = ['informe\nfueloil', 'informe "final".csv', 'informe\r\nfueloil\nC'].map((name) => {
  Object.assign(log, { input: Buffer.from('O2,T\n3,300\n'), at: 0, written: '' });
  const answer = callJson(module, 'quemador_log', { nombre: name, combustible: 'gas' });
  return { name, answer, written: log.written };
});
// The Consumos boxes as a manager types them: a thousands point settled by a price's
// decimal comma, and a figure that reads two ways alone.
const money = [['200.000', '0,09'], ['200.000', '1']].map(([kwh, precio]) => {
  Object.assign(log, { input: Buffer.from('Caldera,Fecha,O2,T\nNorte,2026-01-05,3,300\n'), at: 0, written: '' });
  return callJson(module, 'quemador_log', {
    nombre: 'r.csv', combustible: 'gas', 'objetivo-o2': '2', consumos: [{ caldera: 'Norte', kwh, precio }],
  });
});
process.stdout.write(JSON.stringify({ answers, fuels, logs, money }));
