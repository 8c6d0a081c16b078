// SPDX-License-Identifier: GPL-3.0-or-later
// The log view's worker: reads the chosen file a slice at a time, runs it through the
// WebAssembly module's log reading, and gathers what the module writes into a Blob for
// the download. Memory stays bounded whatever the file's size: one slice of the file,
// the module's own buffers, and the results as Blobs (which the browser may keep on disk).
// Messages out: {avance: {bytes, total}} now and then, then {respuesta, resultados}.

import factory from './quemador.mjs';

const sliceBytes = 1 << 20;
const blobBytes = 4 << 20;

self.onmessage = async ({ data: { file, request } }) => {
  const reader = new FileReaderSync();
  let position = 0; // in the file, of the slice after this one
  let slice = new Uint8Array(0);
  let offset = 0; // in the slice
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
  parts.push(new Blob(pending));
  postMessage({ respuesta, resultados: new Blob(parts, { type: 'text/csv' }) });
};
