// SPDX-License-Identifier: GPL-3.0-or-later
// Everything the page keeps (saved readings, boilers, reports, settings) as one CSV log
// written by the module, which quemador1-calc --csv reads as a log, and such a file read
// back into this browser: a backup a technician moves to a new phone.

import * as store from './readings.js';
import { nowIso, settings, setSettings } from './report.js';

const two = (n) => String(n).padStart(2, '0');

// A stored moment as the export writes it, to the second: 12/03/2026 10:05:00.
export function exportDate(iso) {
  const d = new Date(iso);
  return `${two(d.getDate())}/${two(d.getMonth() + 1)}/${d.getFullYear()} ` +
    `${two(d.getHours())}:${two(d.getMinutes())}:${two(d.getSeconds())}`;
}

// An export's date back as a stored moment; none when it is not one.
function fromExportDate(text) {
  const m = /^(\d{2})\/(\d{2})\/(\d{4}) (\d{2}):(\d{2})(?::(\d{2}))?$/.exec(text || '');
  if (!m) return null;
  const [, dd, mm, yyyy, hh, mi, ss] = m.map(Number);
  const d = new Date(yyyy, mm - 1, dd, hh, mi, ss || 0);
  return Number.isNaN(d.getTime()) ? null : d.toISOString();
}

const asRow = (r) => ({ fecha: exportDate(r.fecha), nota: r.nota || '', entradas: r.entradas });

// The module's export request: the saved readings, oldest first, and unless only those
// are asked for, the boilers, the reports and the settings.
export async function exportRequest(readingsOnly = false) {
  const saved = (await store.all()).reverse();
  const request = { lecturas: saved.map((r) => ({ ...asRow(r), caldera: r.caldera || '', clave: store.boilerKey(r.caldera || '') })) };
  if (readingsOnly) return request;
  request.calderas = (await store.boilers()).map((b) => ({ clave: b.clave, campos: b.campos }));
  request.informes = (await store.reports()).sort((a, b) => a.fecha.localeCompare(b.fecha))
    .map((r) => ({ fecha: exportDate(r.fecha), caldera: r.caldera, clave: r.clave, campos: r.campos, lecturas: r.lecturas.map(asRow) }));
  request.ajustes = settings();
  return request;
}

export const hasAnything = async () => (await store.all()).length > 0 || (await store.reports()).length > 0;

// Two readings' boxes alike: the same number in each, written with a comma or a point,
// with or without trailing zeros; other texts the same.
export function sameBoxes(a, b) {
  const norm = (v) => {
    const text = String(v ?? '').trim().replace(',', '.');
    const number = text === '' ? NaN : Number(text);
    return Number.isFinite(number) ? String(number) : text;
  };
  return Object.keys({ ...a, ...b }).every((id) => norm(a[id]) === norm(b[id]));
}

const nonEmpty = (fields) => Object.fromEntries(Object.entries(fields || {}).filter(([, v]) => v !== ''));

// An export read back by the module and added to what this browser keeps: readings and
// reports it does not hold yet, each boiler's details (the file's where it gives them),
// the settings it leaves empty. evaluate gives a reading's answer. The counts added.
export async function importBackup(module, csv, evaluate) {
  const data = JSON.parse(module.ccall('quemador_import', 'string', ['string'], [csv]));
  if (data.error) throw new Error(data.error);
  const counts = { lecturas: 0, informes: 0, calderas: 0, repetidas: 0 };
  const held = await store.all();
  const fuels = new Map(); // each boiler's fuel, by its last row
  for (const r of data.lecturas) {
    const fecha = fromExportDate(r.fecha) || nowIso();
    fuels.set(store.boilerKey(r.caldera), r.entradas.combustible);
    if (held.some((h) => h.fecha === fecha && (h.caldera || '') === r.caldera && sameBoxes(h.entradas, r.entradas))) {
      counts.repetidas += 1;
      continue;
    }
    await store.add({ fecha, caldera: r.caldera, nota: r.nota, entradas: r.entradas, respuesta: evaluate(r.entradas) });
    counts.lecturas += 1;
  }
  const reports = await store.reports();
  for (const r of data.informes) {
    const clave = store.boilerKey(r.caldera);
    const fecha = fromExportDate(r.fecha) || nowIso();
    fuels.set(clave, r.lecturas[0]?.entradas.combustible);
    if (reports.some((h) => h.clave === clave && h.fecha === fecha)) {
      counts.repetidas += 1;
      continue;
    }
    await store.putReport({ clave, caldera: r.caldera, fecha, campos: r.campos,
      lecturas: r.lecturas.map((l) => ({ fecha: fromExportDate(l.fecha) || fecha, nota: l.nota, entradas: l.entradas })) });
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
