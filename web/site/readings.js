// SPDX-License-Identifier: GPL-3.0-or-later
// What the page keeps in the browser's IndexedDB: the saved readings (each with its
// date, boiler, note, the boxes as typed and the module's answer), the boilers (each
// by its key, with its name and its details) and the reports (each with its boiler's
// key, its date, its fields and its readings as typed).

const stores = { lecturas: 'lecturas', calderas: 'calderas', informes: 'informes' };
let opened;

function database() {
  opened ??= new Promise((resolve, reject) => {
    const request = indexedDB.open('quemador1', 2);
    request.onupgradeneeded = () => {
      const db = request.result;
      if (!db.objectStoreNames.contains(stores.lecturas)) db.createObjectStore(stores.lecturas, { keyPath: 'id', autoIncrement: true });
      if (!db.objectStoreNames.contains(stores.calderas)) db.createObjectStore(stores.calderas, { keyPath: 'clave' });
      if (!db.objectStoreNames.contains(stores.informes)) db.createObjectStore(stores.informes, { keyPath: 'id', autoIncrement: true });
    };
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
  return opened;
}

async function transaction(store, mode, work) {
  const db = await database();
  return new Promise((resolve, reject) => {
    const tx = db.transaction(store, mode);
    const request = work(tx.objectStore(store));
    tx.oncomplete = () => resolve(request.result);
    tx.onerror = () => reject(tx.error);
  });
}

export const add = (reading) => transaction(stores.lecturas, 'readwrite', (s) => s.add(reading));
// Many at once, in one transaction (a backup of thousands).
export const addAll = (list) => transaction(stores.lecturas, 'readwrite', (s) => {
  let request;
  for (const reading of list) request = s.add(reading);
  return request || s.count();
});
export const remove = (id) => transaction(stores.lecturas, 'readwrite', (s) => s.delete(id));
// Newest first (by date: those read back from a backup fall in their place).
export const all = async () => (await transaction(stores.lecturas, 'readonly', (s) => s.getAll()))
  .sort((a, b) => b.fecha.localeCompare(a.fecha) || b.id - a.id);

// A boiler's key: its name without the case, accents and blanks that people type
// differently ("Sala 1", "sala  1").
export function boilerKey(name) {
  return name.normalize('NFD').replace(/\p{M}/gu, '').toLowerCase().replace(/\s+/g, ' ').trim();
}

export const boilers = () => transaction(stores.calderas, 'readonly', (s) => s.getAll());
export const boiler = (key) => transaction(stores.calderas, 'readonly', (s) => s.get(key));
// Added or replaced, by its key.
export const putBoiler = (record) => transaction(stores.calderas, 'readwrite', (s) => s.put(record));

export const reports = () => transaction(stores.informes, 'readonly', (s) => s.getAll());
// Added (without an id) or replaced (with one); gives its id.
export const putReport = (record) => transaction(stores.informes, 'readwrite', (s) => s.put(record));
// A boiler's reports, newest first.
export const reportsOf = async (key) => (await reports()).filter((r) => r.clave === key)
  .sort((a, b) => b.fecha.localeCompare(a.fecha));

// Whether this browser keeps anything to export.
export const hasAnything = async () => (await all()).length > 0 || (await reports()).length > 0;

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
