// SPDX-License-Identifier: GPL-3.0-or-later
// Calls into the WebAssembly module through its heap: a request's UTF-8 bytes are put in
// memory the module allocates (and freed after the call), and the answer's bytes are
// copied out whole. Nothing crosses on the module's stack, whose few megabytes a
// backup of many readings outgrows; and an answer's leading byte order mark stays in
// its bytes (a TextDecoder would drop it). No DOM: the worker and node use it too.

const encoder = new TextEncoder();
const decoder = new TextDecoder('utf-8', { ignoreBOM: true });

// The export's answer as bytes, for a request (a text, or bytes already encoded).
export function callBytes(module, name, request = '') {
  const bytes = typeof request === 'string' ? encoder.encode(request) : request;
  const at = module._malloc(Math.max(bytes.length, 1));
  if (!at) throw new Error('no cabe en la memoria de esta página');
  try {
    module.HEAPU8.set(bytes, at);
    const answer = module[`_${name}`](at, bytes.length);
    // The heap's view is taken again: the call may have grown the memory.
    return module.HEAPU8.slice(answer, answer + module._quemador_answer_size());
  } finally {
    module._free(at);
  }
}

// The export's answer as a text.
export const callText = (module, name, request) => decoder.decode(callBytes(module, name, request));

// The export's JSON answer, for a request given as an object (sent as JSON), a text or
// bytes.
export const callJson = (module, name, request = '') => JSON.parse(callText(module, name,
  typeof request === 'string' || request instanceof Uint8Array ? request : JSON.stringify(request)));
