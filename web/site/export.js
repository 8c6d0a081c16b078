// SPDX-License-Identifier: GPL-3.0-or-later
// The saved readings as a log that quemador1-calc --csv reads back: a semicolon CSV with
// decimal commas, its result columns named as the program names its own, so that it
// writes its results again in their place.

const resultColumns = ['exceso_aire', 'eficiencia', 'eficiencia_neta', 'eficiencia_corregida'];

function field(text) {
  return /[;"\r\n]/.test(text) ? `"${text.replace(/"/g, '""')}"` : text;
}

// A number as typed, with the log's decimal comma.
const decimal = (text) => text.trim().replace('.', ',');
// A temperature the module gave in °F: the shortest text that reads back as it.
const fahrenheit = (value) => (value === null || value === undefined ? '' : String(value).replace('.', ','));

// Readings in the order to write them; fuel captions by value; the date's text; the
// module's rule for a text cell from a name or a note (safe in a spreadsheet).
export function exportCsv(saved, fuelNames, formatDate, textCell) {
  // One temperature unit for the file: the readings', or °F when they differ.
  const units = new Set(saved.map((r) => r.entradas.unidad));
  const unit = units.size === 1 ? [...units][0] : 'F';
  const header = ['Fecha', 'Caldera', 'Combustible', 'O2', 'CO2', 'CO', `T humos (°${unit})`,
    `T aire (°${unit})`, 'Nota', ...resultColumns, 'aviso'];
  const lines = [header.join(';')];
  for (const reading of saved) {
    const e = reading.entradas;
    const answer = reading.respuesta;
    const asTyped = e.unidad === unit;
    lines.push([
      formatDate(reading.fecha), textCell(reading.caldera), fuelNames[e.combustible] || e.combustible,
      decimal(e.o2), decimal(e.co2), decimal(e.co),
      asTyped ? decimal(e.temp) : fahrenheit(answer.temp_f),
      asTyped ? decimal(e.aire) : fahrenheit(answer.aire_f),
      textCell(reading.nota),
      ...resultColumns.map((name) => answer.archivo[name]),
      (answer.avisos || []).join(' '),
    ].map(field).join(';'));
  }
  // A byte order mark, so that a spreadsheet reads it as UTF-8.
  return '\ufeff' + lines.join('\r\n') + '\r\n';
}
