// SPDX-License-Identifier: GPL-3.0-or-later
// The saved readings, kept in the browser's IndexedDB: each with its date, boiler,
// note, the boxes as typed and the module's answer.

const store = 'lecturas';
let opened;

function database() {
  opened ??= new Promise((resolve, reject) => {
    const request = indexedDB.open('quemador1', 1);
    request.onupgradeneeded = () => request.result.createObjectStore(store, { keyPath: 'id', autoIncrement: true });
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error);
  });
  return opened;
}

async function transaction(mode, work) {
  const db = await database();
  return new Promise((resolve, reject) => {
    const tx = db.transaction(store, mode);
    const request = work(tx.objectStore(store));
    tx.oncomplete = () => resolve(request.result);
    tx.onerror = () => reject(tx.error);
  });
}

export const add = (reading) => transaction('readwrite', (s) => s.add(reading));
export const remove = (id) => transaction('readwrite', (s) => s.delete(id));
// Newest first.
export const all = async () => (await transaction('readonly', (s) => s.getAll())).reverse();
