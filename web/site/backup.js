// SPDX-License-Identifier: GPL-3.0-or-later
// Everything the page keeps (saved readings, boilers, reports, settings) as one CSV log
// written by the module, which quemador1-calc --csv reads as a log, and such a file read
// back into this browser: a backup a technician moves to a new phone.

import * as store from './readings.js';
import { sameBoxes } from './readings.js';
import { settings, setSettings } from './report.js';
import { callJson } from './module.js';

const two = (n) => String(n).padStart(2, '0');

// A stored moment as the export writes it, in ISO 8601 to the second, local time (as
// the technician read it): 2026-03-12 10:05:00. Spreadsheets and quemador1-calc read it
// with no question of day and month.
export function exportDate(iso) {
  const d = new Date(iso);
  return `${d.getFullYear()}-${two(d.getMonth() + 1)}-${two(d.getDate())} ` +
    `${two(d.getHours())}:${two(d.getMinutes())}:${two(d.getSeconds())}`;
}

// An export's date back as a stored moment: ISO 8601 (a T or a blank before the time),
// or the day first as older exports wrote it; none when it is not a moment that exists
// (31/02, 99:99, "ayer").
export function fromExportDate(text) {
  const t = String(text || '').trim();
  let m = /^(\d{4})-(\d{2})-(\d{2})[T ](\d{2}):(\d{2})(?::(\d{2}))?$/.exec(t);
  let parts;
  if (m) parts = [m[1], m[2], m[3], m[4], m[5], m[6]];
  else if ((m = /^(\d{2})\/(\d{2})\/(\d{4}) (\d{2}):(\d{2})(?::(\d{2}))?$/.exec(t))) parts = [m[3], m[2], m[1], m[4], m[5], m[6]];
  else return null;
  const [yyyy, mm, dd, hh, mi, ss] = parts.map((p) => Number(p || 0));
  const d = new Date(yyyy, mm - 1, dd, hh, mi, ss);
  // A date that rolled over (31/02 into March, 99 hours into days) is not the one written.
  if (d.getFullYear() !== yyyy || d.getMonth() !== mm - 1 || d.getDate() !== dd || d.getHours() !== hh
    || d.getMinutes() !== mi || d.getSeconds() !== ss) return null;
  return d.toISOString();
}

const asRow = (r) => ({ fecha: exportDate(r.fecha), nota: r.nota || '', entradas: r.entradas });

// Two readings within this of each other, of one boiler and with the same boxes, are
// one reading: saved and added to a report a moment apart.
const sameReadingMs = 60 * 60 * 1000;

// The module's export request: the saved readings, oldest first, and unless only those
// are asked for, the boilers, the reports and the settings. A saved reading that is
// also in a report goes with the report only.
export async function exportRequest(readingsOnly = false) {
  let saved = (await store.all()).reverse();
  const request = {};
  if (!readingsOnly) {
    const reports = (await store.reports()).sort((a, b) => a.fecha.localeCompare(b.fecha));
    const inReports = new Map(); // by boiler key, each report reading's moment and boxes
    for (const r of reports) {
      for (const l of r.lecturas) {
        if (!inReports.has(r.clave)) inReports.set(r.clave, []);
        inReports.get(r.clave).push([Date.parse(l.fecha), l.entradas]);
      }
    }
    saved = saved.filter((r) => !(inReports.get(store.boilerKey(r.caldera || '')) || [])
      .some(([when, boxes]) => Math.abs(Date.parse(r.fecha) - when) <= sameReadingMs && sameBoxes(boxes, r.entradas)));
    request.calderas = (await store.boilers()).map((b) => ({ clave: b.clave, campos: b.campos }));
    request.informes = reports.map((r) => ({ fecha: exportDate(r.fecha), caldera: r.caldera, clave: r.clave, numero: r.numero || '', campos: r.campos,
      lecturas: r.lecturas.map(asRow) }));
    request.ajustes = settings();
  }
  request.lecturas = saved.map((r) => ({ ...asRow(r), caldera: r.caldera || '', clave: store.boilerKey(r.caldera || '') }));
  return request;
}

const nonEmpty = (fields) => Object.fromEntries(Object.entries(fields || {}).filter(([, v]) => v !== ''));

// The most a backup may weigh: the module holds the file and what it reads from it at
// once (a phone's tab has a few hundred megabytes); a year of readings of a hundred
// boilers is a few megabytes.
export const mostImportBytes = 64 << 20;

// A reading's identity, for what is held already and for a row repeated in the file:
// its moment, boiler and boxes (numbers alike with a comma or a point).
function readingKey(fecha, caldera, entradas) {
  const norm = (v) => {
    const text = String(v ?? '').trim().replace(',', '.');
    const number = text === '' ? NaN : Number(text);
    return Number.isFinite(number) ? String(number) : text;
  };
  const boxes = Object.keys(entradas || {}).sort().filter((id) => norm(entradas[id]) !== '')
    .map((id) => `${id}=${norm(entradas[id])}`);
  return JSON.stringify([fecha, store.boilerKey(caldera || ''), boxes]);
}

// An export (a File) read back by the module and added to what this browser keeps:
// readings and reports it does not hold yet, each once however often the file repeats
// it, each boiler's details (the file's where it gives them), the settings it leaves
// empty. A row whose date does not read is not imported: it is listed, by its line, in
// "sinFecha". evaluate gives a reading's answer. The counts added.
export async function importBackup(module, file, evaluate) {
  if (file.size > mostImportBytes) {
    throw new Error(`pesa ${Math.round(file.size / 2 ** 20)} MB, y una copia de esta página no pasa de ` +
      `${mostImportBytes / 2 ** 20} MB: ¿es el archivo exportado?`);
  }
  const data = callJson(module, 'quemador_import', new Uint8Array(await file.arrayBuffer()));
  if (data.error) throw new Error(data.error);
  const counts = { lecturas: 0, informes: 0, calderas: 0, repetidas: 0, sinFecha: [] };
  const unreadable = (r) => counts.sinFecha.push(`línea ${r.fila} (${r.fecha || 'vacía'})`);
  const seen = new Set((await store.all()).map((h) => readingKey(h.fecha, h.caldera, h.entradas)));
  const fuels = new Map(); // each boiler's fuel, by its last row
  const added = [];
  for (const r of data.lecturas) {
    const fecha = fromExportDate(r.fecha);
    if (!fecha) {
      unreadable(r);
      continue;
    }
    fuels.set(store.boilerKey(r.caldera), r.entradas.combustible);
    const key = readingKey(fecha, r.caldera, r.entradas);
    if (seen.has(key)) {
      counts.repetidas += 1;
      continue;
    }
    seen.add(key);
    added.push({ fecha, caldera: r.caldera, nota: r.nota, entradas: r.entradas, respuesta: evaluate(r.entradas) });
  }
  await store.addAll(added);
  counts.lecturas = added.length;
  const reports = await store.reports();
  const held = new Set(reports.map((h) => `${h.clave}|${h.fecha}`));
  for (const r of data.informes) {
    const clave = store.boilerKey(r.caldera);
    const fecha = fromExportDate(r.fecha);
    if (!fecha) {
      r.lecturas.forEach(unreadable);
      continue;
    }
    const readings = r.lecturas.filter((l) => fromExportDate(l.fecha) || unreadable(l) < 0);
    fuels.set(clave, r.lecturas[0]?.entradas.combustible);
    if (held.has(`${clave}|${fecha}`)) {
      counts.repetidas += 1;
      continue;
    }
    held.add(`${clave}|${fecha}`);
    await store.putReport({ clave, caldera: r.caldera, fecha, numero: r.numero || '', campos: r.campos,
      lecturas: readings.map((l) => ({ fecha: fromExportDate(l.fecha), nota: l.nota, entradas: l.entradas })) });
    counts.informes += 1;
  }
  for (const b of data.calderas) {
    const clave = store.boilerKey(b.caldera);
    const known = await store.boiler(clave);
    await store.putBoiler({ clave, caldera: known?.caldera || b.caldera, combustible: fuels.get(clave) || known?.combustible,
      campos: { ...(known?.campos || {}), ...nonEmpty(b.campos) } });
    counts.calderas += 1;
  }
  const mine = settings();
  setSettings({ ...nonEmpty(data.ajustes), ...nonEmpty(mine) });
  return counts;
}
