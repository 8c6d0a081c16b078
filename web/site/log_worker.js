// SPDX-License-Identifier: GPL-3.0-or-later
// The log view's worker: reads the chosen file a slice at a time, runs it through the
// WebAssembly module's log reading, and writes what the module writes, as it comes, to a
// file of the browser's own (the Origin Private File System) for the download. Memory
// stays bounded whatever the file's size: one slice of the file and the module's own
// buffers. A browser without that file system gathers the results as Blobs, up to a size.
// Messages out: {avance: {bytes, total}} now and then, then {respuesta, resultados}.

import factory from './quemador.mjs';

const sliceBytes = 1 << 20;
const blobBytes = 4 << 20;
// Without a file of its own, the most a log may be: its results are held as Blobs.
const mostInMemory = 256 << 20;

// The results' file, its older ones taken away first; null where the browser has none.
async function resultsFile() {
  try {
    const root = await navigator.storage.getDirectory();
    for await (const name of root.keys()) {
      if (name.startsWith('resultados-')) await root.removeEntry(name).catch(() => {});
    }
    const handle = await root.getFileHandle(`resultados-${Date.now()}.csv`, { create: true });
    return { handle, access: await handle.createSyncAccessHandle() };
  } catch {
    return null;
  }
}

self.onmessage = async ({ data: { file, request } }) => {
  const reader = new FileReaderSync();
  let position = 0; // in the file, of the slice after this one
  let slice = new Uint8Array(0);
  let offset = 0; // in the slice
  const disk = await resultsFile();
  if (!disk && file.size > mostInMemory) {
    postMessage({ respuesta: { estado: 2, error: `el registro pasa de ${mostInMemory >> 20} MB y este navegador no deja escribir sus resultados en el disco: léalo con el programa quemador1-calc` } });
    return;
  }
  let written = 0; // into the file
  const parts = [];
  let pending = [];
  let pendingBytes = 0;
  const module = await factory({
    leerRegistro(buffer) {
      if (offset === slice.length) {
        if (position >= file.size) return 0;
        slice = new Uint8Array(reader.readAsArrayBuffer(file.slice(position, position + sliceBytes)));
        position += slice.length;
        offset = 0;
      }
      const n = Math.min(buffer.length, slice.length - offset);
      buffer.set(slice.subarray(offset, offset + n));
      offset += n;
      return n;
    },
    escribirResultados(bytes) {
      if (disk) {
        written += disk.access.write(bytes, { at: written });
        return;
      }
      pending.push(bytes.slice());
      pendingBytes += bytes.length;
      if (pendingBytes >= blobBytes) {
        parts.push(new Blob(pending));
        pending = [];
        pendingBytes = 0;
      }
    },
    avance() {
      postMessage({ avance: { bytes: position - slice.length + offset, total: file.size } });
    },
  });
  const respuesta = JSON.parse(module.ccall('quemador_log', 'string', ['string'], [request]));
  let resultados;
  if (disk) {
    disk.access.flush();
    disk.access.close();
    resultados = await disk.handle.getFile();
  } else {
    parts.push(new Blob(pending));
    resultados = new Blob(parts, { type: 'text/csv' });
  }
  postMessage({ respuesta, resultados });
};
