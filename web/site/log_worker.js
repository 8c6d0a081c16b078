// SPDX-License-Identifier: GPL-3.0-or-later
// The log view's worker: reads the chosen file a slice at a time, runs it through the
// WebAssembly module's log reading, and writes what the module writes, as it comes, to a
// file of the browser's own (the Origin Private File System) for the download. Memory
// stays bounded whatever the file's size: one slice of the file and the module's own
// buffers. A browser without that file system gathers the results as Blobs, up to a size.
// Several files are read as one log, each with its results. Messages out: {avance:
// {bytes, total}} now and then, then {respuesta, resultados: a File or Blob a file}.

import factory from './quemador.mjs';
import { callJson } from './module.js';

const sliceBytes = 1 << 20;
const blobBytes = 4 << 20;
// Without a file of its own, the most a log may be: its results are held as Blobs.
const mostInMemory = 256 << 20;

// The results' file of one log; with several logs, one each, named by their place.
async function resultsFile(index) {
  try {
    const root = await navigator.storage.getDirectory();
    if (index === 0) {
      for await (const name of root.keys()) {
        if (name.startsWith('resultados-')) await root.removeEntry(name).catch(() => {});
      }
    }
    const handle = await root.getFileHandle(`resultados-${Date.now()}-${index}.csv`, { create: true });
    return { handle, access: await handle.createSyncAccessHandle() };
  } catch {
    return null;
  }
}

// Several files are read one after another, as one log: each its own results.
self.onmessage = async ({ data: { files, request } }) => {
  const reader = new FileReaderSync();
  const total = files.reduce((sum, f) => sum + f.size, 0);
  let current = 0; // the file being read
  let before = 0; // bytes of the files before it
  let position = 0; // in the file, of the slice after this one
  let slice = new Uint8Array(0);
  let offset = 0; // in the slice
  // Each file's results: on the disk, or as Blobs where the browser has no such file.
  const outputs = [];
  for (let i = 0; i < files.length; i++) outputs.push({ disk: await resultsFile(i), written: 0, parts: [], pending: [], pendingBytes: 0 });
  if (outputs.some((o) => !o.disk) && total > mostInMemory) {
    postMessage({ respuesta: { estado: 2, error: `el registro pasa de ${mostInMemory >> 20} MB y este navegador no deja escribir sus resultados en el disco: léalo con el programa quemador1-calc` } });
    return;
  }
  const module = await factory({
    leerRegistro(buffer) {
      const file = files[current];
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
      const out = outputs[current];
      if (out.disk) {
        out.written += out.disk.access.write(bytes, { at: out.written });
        return;
      }
      out.pending.push(bytes.slice());
      out.pendingBytes += bytes.length;
      if (out.pendingBytes >= blobBytes) {
        out.parts.push(new Blob(out.pending));
        out.pending = [];
        out.pendingBytes = 0;
      }
    },
    siguienteRegistro() {
      if (current + 1 >= files.length) return 0;
      before += files[current].size;
      current += 1;
      position = 0;
      slice = new Uint8Array(0);
      offset = 0;
      return 1;
    },
    avance() {
      postMessage({ avance: { bytes: before + position - slice.length + offset, total } });
    },
  });
  const respuesta = callJson(module, 'quemador_log', request);
  const resultados = [];
  for (const out of outputs) {
    if (out.disk) {
      out.disk.access.flush();
      out.disk.access.close();
      resultados.push(await out.disk.handle.getFile());
    } else {
      out.parts.push(new Blob(out.pending));
      resultados.push(new Blob(out.parts, { type: 'text/csv' }));
    }
  }
  postMessage({ respuesta, resultados });
};
