// SPDX-License-Identifier: GPL-3.0-or-later
// Runs readings through the site's WebAssembly module under node, as the page calls it.
// Usage: node evaluate.mjs SITE_DIR < requests.json > answers.json
// (a JSON list of requests, each the page's boxes by id; a JSON list of answers back).
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';

const site = process.argv[2];
const { default: factory } = await import(pathToFileURL(path.join(site, 'quemador.mjs')));
// The page fetches its .wasm; here it is read from the folder.
const module = await factory({ wasmBinary: fs.readFileSync(path.join(site, 'quemador.wasm')) });
const boxes = ['combustible', 'o2', 'co2', 'co', 'temp', 'unidad', 'aire', 'objetivo-o2', 'objetivo-temp'];
const requests = JSON.parse(fs.readFileSync(0, 'utf8'));
const answers = requests.map((values) => JSON.parse(module.ccall('quemador_evaluate', 'string', ['string'],
  [boxes.map((id) => values[id] ?? '').join('\n')])));
const fuels = JSON.parse(module.ccall('quemador_fuels', 'string', [], []));
process.stdout.write(JSON.stringify({ answers, fuels }));
