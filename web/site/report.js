// SPDX-License-Identifier: GPL-3.0-or-later
// The technician's report: the settings entered once (company, technician, limits),
// the report being written (its boiler's details, the analyser, up to three readings,
// what was recorded by hand, a note), each boiler's history, and the report as a PDF,
// shared or downloaded, or printed with the same content. Every figure, mean, change
// and judgement is the module's (quemador_inspection); this lays them out and keeps
// them.

import { coLimit, figures, mostReadings, reportFields } from './names.js';
import * as store from './readings.js';
import { callJson } from './module.js';

const settingsKey = 'quemador1.ajustes';
const draftKey = 'quemador1.informe';
const $ = (id) => document.getElementById(id);

// Each group's title, on the page and in the report.
const groupTitles = {
  empresa: 'Empresa y técnico', limites: 'Límites', numeracion: 'Numeración de los informes', titular: 'Cliente',
  caldera: 'Caldera', analizador: 'Analizador', anotadas: 'Medidas anotadas', notas: 'Observaciones y próxima revisión',
};
// Where each group's fields go on the page.
const groupPlace = { empresa: 'campos-ajustes', limites: 'campos-ajustes', numeracion: 'campos-ajustes', notas: 'campos-notas' };
// What fails, in the PDF.
const RED = [0.73, 0.11, 0.11];

let module;
let reading; // what the reading page gives: typed(), answer(), fuelNames, recalculate()
let draft = { campos: {}, lecturas: [], registrado: null, fecha: null };
let previous = null; // the boiler's last report before this one
let last = {}; // the module's last answer for the report

// A moment as stored: to the second, so that an export's date reads back the same.
export const nowIso = () => new Date(Math.floor(Date.now() / 1000) * 1000).toISOString();
const two = (n) => String(n).padStart(2, '0');
const isoDay = (d) => `${d.getFullYear()}-${two(d.getMonth() + 1)}-${two(d.getDate())}`;
const time = (iso) => { const d = new Date(iso); return `${two(d.getHours())}:${two(d.getMinutes())}`; };
const day = (iso) => { const d = new Date(iso); return `${two(d.getDate())}/${two(d.getMonth() + 1)}/${d.getFullYear()}`; };

const logoKey = 'quemador1.logo';
// The company's logo, a data: URL kept in this browser; none when it has none.
const logo = () => localStorage.getItem(logoKey) || '';
const mostLogoBytes = 300 * 1024;

function showLogo() {
  const url = logo();
  $('empresa-logo-vista').hidden = !url;
  if (url) $('empresa-logo-vista').src = url;
  else $('empresa-logo-vista').removeAttribute('src');
  $('empresa-logo-quitar').hidden = !url;
}

// An image chosen once, kept in the browser for every report's PDF.
async function logoChosen() {
  const file = $('empresa-logo').files[0];
  if (!file) return;
  const status = $('empresa-logo-estado');
  if (!['image/png', 'image/jpeg'].includes(file.type)) {
    status.textContent = `${file.name} no es PNG ni JPEG: el PDF solo lleva esos dos.`;
  } else if (file.size > mostLogoBytes) {
    status.textContent = `${file.name} pesa ${Math.round(file.size / 1024)} KB: el logotipo no puede pasar de 300 KB.`;
  } else {
    const url = await new Promise((resolve, reject) => {
      const reader = new FileReader();
      reader.onload = () => resolve(reader.result);
      reader.onerror = () => reject(reader.error);
      reader.readAsDataURL(file);
    });
    localStorage.setItem(logoKey, url);
    status.textContent = `Logotipo guardado: ${file.name}. Sale en cada informe.`;
  }
  $('empresa-logo').value = '';
  showLogo();
}

// A surface to sign on with a finger, a pen or the mouse (pointer events); what is drawn
// is kept in the draft as a PNG, and drawn back when the page opens.
function signature(who) {
  const canvas = $(`firma-${who}`);
  const context = canvas.getContext('2d');
  context.lineWidth = 4;
  context.lineCap = 'round';
  context.lineJoin = 'round';
  context.strokeStyle = '#111';
  let last = null;
  const at = (event) => {
    const box = canvas.getBoundingClientRect();
    return [(event.clientX - box.left) * (canvas.width / box.width), (event.clientY - box.top) * (canvas.height / box.height)];
  };
  canvas.addEventListener('pointerdown', (event) => {
    canvas.setPointerCapture(event.pointerId);
    last = at(event);
    context.beginPath();
    context.arc(last[0], last[1], 1.5, 0, 2 * Math.PI);
    context.fill();
  });
  canvas.addEventListener('pointermove', (event) => {
    if (!last) return;
    const next = at(event);
    context.beginPath();
    context.moveTo(...last);
    context.lineTo(...next);
    context.stroke();
    last = next;
  });
  const end = () => {
    if (!last) return;
    last = null;
    draft.firmas = { ...(draft.firmas || {}), [who]: canvas.toDataURL('image/png') };
    saveDraft();
  };
  canvas.addEventListener('pointerup', end);
  canvas.addEventListener('pointercancel', end);
  $(`firma-${who}-borrar`).addEventListener('click', () => {
    context.clearRect(0, 0, canvas.width, canvas.height);
    if (draft.firmas) delete draft.firmas[who];
    saveDraft();
  });
}

// The draft's signatures drawn on their surfaces (none: cleared).
function showSignatures() {
  for (const who of ['tecnico', 'titular']) {
    const canvas = $(`firma-${who}`);
    const context = canvas.getContext('2d');
    context.clearRect(0, 0, canvas.width, canvas.height);
    const url = draft.firmas?.[who];
    if (url) {
      const image = new Image();
      image.onload = () => context.drawImage(image, 0, 0, canvas.width, canvas.height);
      image.src = url;
    }
  }
}

// A number as typed, with the decimal comma the report prints (4.1 → 4,1).
const comma = (text) => String(text ?? '').trim().replace(/^([-+−]?\d*)\.(\d+)$/, '$1,$2');

// Readings taken less than a minute apart, said: the flue gas needs that to settle.
function tooClose(readings) {
  const close = readings.flatMap((r, i) => (i && Date.parse(r.fecha) - Date.parse(readings[i - 1].fecha) < 60000 ? [[i, i + 1]] : []));
  return close.length
    ? `Entre ${close.map(([a, b]) => `la lectura ${a} y la ${b}`).join(' y entre ')} pasó menos de un minuto: ` +
      'conviene esperar un minuto entre lecturas a que la combustión se estabilice.'
    : '';
}

// The date of the next inspection: the technician's, or a year after the report.
function nextInspection(when) {
  const set = (draft.campos['proxima-revision'] || '').trim();
  if (set) return set;
  const d = new Date(when);
  d.setFullYear(d.getFullYear() + 1);
  return isoDay(d);
}

const fieldsKept = (keeper) => reportFields.filter((f) => f.guarda === keeper);

export function settings() {
  try {
    return JSON.parse(localStorage.getItem(settingsKey) || '{}');
  } catch {
    return {};
  }
}

// The settings replaced, and shown.
export function setSettings(values) {
  localStorage.setItem(settingsKey, JSON.stringify(values));
  for (const field of fieldsKept('ajustes')) {
    if (values[field.id] !== undefined) $(field.id).value = values[field.id];
  }
  reading.recalculate();
  refresh();
}

// The report's boiler: its name, or without one its make, model and serial number
// (a technician who typed those has named it).
export function boilerName() {
  const name = $('caldera').value.trim();
  if (name) return name;
  return ['caldera-marca', 'caldera-modelo', 'caldera-serie'].map((id) => $(id).value.trim()).filter(Boolean).join(' ');
}

// A boiler's details as the form holds them.
export function boilerFields() {
  return Object.fromEntries(fieldsKept('caldera').map((f) => [f.id, $(f.id).value.trim()]));
}

function saveDraft() {
  localStorage.setItem(draftKey, JSON.stringify(draft));
}

function say(text) {
  $('informe-estado').textContent = text;
}

// The form's controls, one per field of the module's table, in their groups.
function buildFields() {
  const groups = new Map();
  for (const field of reportFields) {
    if (!groups.has(field.grupo)) {
      const set = document.createElement('fieldset');
      set.className = 'grupo';
      const legend = document.createElement('legend');
      legend.textContent = groupTitles[field.grupo];
      set.append(legend);
      $(groupPlace[field.grupo] || 'campos-informe').append(set);
      groups.set(field.grupo, set);
    }
    groups.get(field.grupo).append(fieldControl(field));
  }
  // The boiler's name, the same box as Guardar's, asked again where the report's boiler is.
  const div = document.createElement('div');
  div.className = 'campo';
  const label = document.createElement('label');
  label.htmlFor = 'informe-caldera';
  label.textContent = 'Nombre de la caldera';
  const name = document.createElement('input');
  name.id = 'informe-caldera';
  name.setAttribute('list', 'calderas-conocidas');
  name.setAttribute('aria-describedby', 'informe-caldera-nota');
  const note = cell('p', 'Con él se encuentra el informe el año que viene; sin él, por marca, modelo y n.º de serie.', 'nota');
  note.id = 'informe-caldera-nota';
  div.append(label, name, note);
  groups.get('caldera').querySelector('legend').after(div);
  name.addEventListener('input', () => {
    $('caldera').value = name.value;
    $('caldera').dispatchEvent(new Event('input', { bubbles: true }));
  });
  name.addEventListener('change', () => $('caldera').dispatchEvent(new Event('change')));
  $('caldera').addEventListener('input', () => { name.value = $('caldera').value; });
}

function fieldControl(field) {
  const div = document.createElement('div');
  div.className = 'campo';
  if (field.combustible) div.dataset.combustible = field.combustible;
  const label = document.createElement('label');
  label.htmlFor = field.id;
  label.textContent = field.etiqueta;
  let control;
  if (field.tipo === 'opcion') {
    control = document.createElement('select');
    for (const { valor, nombre } of field.opciones) control.append(new Option(nombre, valor));
  } else if (field.tipo === 'nota') {
    control = document.createElement('textarea');
    control.rows = 3;
  } else {
    control = document.createElement('input');
    if (field.tipo === 'fecha') control.type = 'date';
    if (field.tipo === 'numero') control.inputMode = 'decimal';
    if (field.tipo === 'anio') control.inputMode = 'numeric';
  }
  control.id = field.id;
  control.name = field.id;
  if (field.id === coLimit.campo) control.placeholder = `${coLimit.limite} (${coLimit.fuente})`;
  if (field.id === 'instalacion-direccion') control.placeholder = 'La del titular, si se deja vacía';
  const error = document.createElement('p');
  error.id = `${field.id}-error`;
  error.className = 'error';
  error.hidden = true;
  const described = [error.id];
  div.append(label, control, error);
  if (field.tipo === 'fecha') {
    const note = document.createElement('p');
    note.id = `${field.id}-nota`;
    note.className = 'nota';
    div.append(note);
    described.push(note.id);
  }
  control.setAttribute('aria-describedby', described.join(' '));
  // A choice is taken on change: not every way of choosing sends input.
  control.addEventListener(field.tipo === 'opcion' ? 'change' : 'input', () => changed(field));
  return div;
}

function changed(field) {
  if (field.guarda === 'ajustes') {
    localStorage.setItem(settingsKey, JSON.stringify({ ...settings(), [field.id]: $(field.id).value }));
    reading.recalculate();
  } else {
    draft.campos[field.id] = $(field.id).value;
    saveDraft();
    // Without a name, the boiler is its make, model and serial number: its history
    // follows them.
    if (field.guarda === 'caldera' && !$('caldera').value.trim()) {
      loadPrevious();
      return;
    }
  }
  refresh();
}

// The readings of the report, as the module is asked for them; with none added, the
// one on the form when it has results (a report of one reading).
function reportReadings() {
  if (draft.lecturas.length) return draft.lecturas;
  const answer = reading.answer();
  if (!answer.cifras || answer.fuera) return [];
  return [{ fecha: nowIso(), nota: $('nota').value.trim(), entradas: reading.typed() }];
}

function inspect(readings) {
  const request = {
    lecturas: readings.map((r) => r.entradas),
    campos: { ...settings(), ...draft.campos },
    hoy: isoDay(new Date()),
  };
  if (previous) request.anterior = { fecha: isoDay(new Date(previous.fecha)), lecturas: previous.lecturas.map((r) => r.entradas) };
  return callJson(module, 'quemador_inspection', request);
}

function cell(tag, text, className) {
  const element = document.createElement(tag);
  element.textContent = text;
  if (className) element.className = className;
  return element;
}

function table(head, rows) {
  const t = document.createElement('table');
  const tr = t.createTHead().insertRow();
  for (const text of head) tr.append(cell('th', text));
  const body = t.createTBody();
  for (const row of rows) {
    const r = body.insertRow();
    row.forEach((value, i) => {
      const c = cell(i === 0 ? 'th' : 'td', typeof value === 'object' ? value.text : value, value?.peligro ? 'peligro' : '');
      if (i === 0) c.scope = 'row';
      r.append(c);
    });
  }
  return t;
}

// The figures any reading gives, in the module's order.
function givenFigures(answer) {
  return figures.filter(({ id }) => answer.lecturas.some((r) => r.cifras?.[id]));
}

// Each reading's figures beside their mean (none for one reading), a CO past its limit
// marked.
function figureRows(answer) {
  const mean = answer.lecturas.length > 1;
  return givenFigures(answer).map(({ id, etiqueta }) => [etiqueta,
    ...answer.lecturas.map((r) => ({ text: r.cifras?.[id] || '—', peligro: id === coLimit.cifra && !!r.co_supera })),
    ...(mean ? [answer.medias[id] || '—'] : [])]);
}

// The head of the readings' table.
const readingsHead = (names) => ['Cifra', ...names, ...(names.length > 1 ? ['Media'] : [])];

// Today's means beside the previous report's, and the change: a table's head and rows.
function changes(answer) {
  const before = answer.anterior;
  return [['Cifra', 'Hoy (media)', before.fecha, 'Cambio'],
    givenFigures(answer).filter(({ id }) => before.medias[id] && answer.medias[id])
      .map(({ id, etiqueta }) => [etiqueta, answer.medias[id], before.medias[id], before.cambios[id]])];
}

function readingNames(readings) {
  return readings.map((r, i) => `Lectura ${i + 1} (${time(r.fecha)})`);
}

// What the module answered, on the page.
function show(answer) {
  last = answer;
  for (const field of reportFields) {
    const message = answer.cajas[field.id] || '';
    const error = $(`${field.id}-error`);
    error.textContent = message;
    error.hidden = !message;
    if (message) $(field.id).setAttribute('aria-invalid', 'true');
    else $(field.id).removeAttribute('aria-invalid');
  }
  const calibration = $('analizador-calibracion-nota');
  calibration.textContent = answer.calibracion || '';
  calibration.classList.toggle('vencida', !!answer.calibracion_vencida);
  $('proxima-revision-nota').textContent = draft.campos['proxima-revision']
    ? '' : `Vacía: un año después del informe, el ${day(nextInspection(draft.fecha || nowIso()))}.`;
  const fuelNames = reading.fuelNames;
  $('lecturas-informe').replaceChildren(...draft.lecturas.map((r, i) => {
    const e = r.entradas;
    const unit = e.unidad === 'F' ? '°F' : '°C';
    const li = document.createElement('li');
    const parts = [`${fuelNames[e.combustible] || e.combustible}`, `O2 ${e.o2} %`,
      ...(e.co ? [`CO ${e.co} ppm`] : []), `humos ${e.temp} ${unit}`, ...(e.aire ? [`aire ${e.aire} ${unit}`] : [])];
    li.append(cell('span', `Lectura ${i + 1}, ${time(r.fecha)}: ${parts.join(', ')}`));
    const co = answer.lecturas[i]?.co_supera;
    if (co) li.append(' ', cell('span', `CO sin aire ${answer.lecturas[i].cifras[coLimit.cifra]} ppm: ${co}`, 'peligro'));
    const remove = cell('button', 'Quitar', 'secundario');
    remove.type = 'button';
    remove.setAttribute('aria-label', `Quitar la lectura ${i + 1} del informe`);
    remove.addEventListener('click', () => {
      draft.lecturas.splice(i, 1);
      saveDraft();
      refresh();
      say(`Lectura ${i + 1} quitada del informe.`);
      ($('lecturas-informe').querySelector('button') || $('anadir-lectura')).focus();
    });
    li.append(' ', remove);
    return li;
  }));
  $('anadir-lectura').disabled = draft.lecturas.length >= mostReadings;
  $('lecturas-seguidas').textContent = tooClose(draft.lecturas);
  $('medias').replaceChildren(...(draft.lecturas.length
    ? [table(readingsHead(draft.lecturas.map((_, i) => `Lectura ${i + 1}`)), figureRows(answer))] : []));
  $('medias').hidden = !draft.lecturas.length;
  const before = answer.anterior;
  $('informe-anterior').replaceChildren(...(before && draft.lecturas.length ? [
    cell('h3', `Informe anterior, del ${before.fecha}`),
    ...(before.frase ? [cell('p', before.frase[0].toUpperCase() + before.frase.slice(1) + '.', 'cambio')] : []),
    Object.assign(document.createElement('div'), { className: 'tabla', tabIndex: 0 }),
  ] : []));
  if (before && draft.lecturas.length) {
    // A table wider than a phone scrolls: a region the keyboard can reach and scroll.
    const wrap = $('informe-anterior').lastChild;
    wrap.setAttribute('role', 'region');
    wrap.setAttribute('aria-label', 'Cambio desde el informe anterior');
    wrap.append(table(...changes(answer)));
  }
  showVerdict(answer);
}

// A verdict's class: its colour on the page, in print and in the PDF.
const verdictClass = (word) => ({ Conforme: 'conforme', 'No conforme': 'no-conforme' }[word] || 'sin');
const VERDICT_COLOURS = { conforme: [0.09, 0.4, 0.2], 'no-conforme': RED, sin: [0.57, 0.25, 0.05] };

// The verdict's word stands; an analyser past its yearly calibration adds this line.
const calibrationLine = (answer) => `Analizador ${answer.calibracion.replace(': hace más de un año', '')}, hace más de un año: ` +
  'su calibración ha vencido y sus lecturas pueden no ser exactas.';

function showVerdict(answer) {
  const word = $('veredicto-palabra');
  word.textContent = answer.veredicto;
  word.className = `palabra ${verdictClass(answer.veredicto)}`;
  $('veredicto-motivo').textContent = answer.motivo;
  $('veredicto-calibracion').textContent = answer.calibracion_vencida ? calibrationLine(answer) : '';
  $('veredicto-calibracion').hidden = !answer.calibracion_vencida;
  $('veredicto-limites').replaceChildren(...answer.limites.map((l) => {
    const li = document.createElement('li');
    li.append(cell('strong', l.juicio, l.falla ? 'peligro' : ''), `: ${l.limite}, ${l.fuente}` + (l.medido ? `; ${l.medido}.` : '.'));
    return li;
  }));
}

// The report asked of the module again, with the readings added, and shown.
export function refresh() {
  if (!module) return;
  show(inspect(draft.lecturas));
}

// The form's fuel: the fields for the other fuel hidden.
export function readingChanged() {
  const fuel = reading.typed().combustible;
  for (const div of document.querySelectorAll('.informe [data-combustible]')) div.hidden = div.dataset.combustible !== fuel;
}

function addReading() {
  const answer = reading.answer();
  const entradas = reading.typed();
  const fuelNames = reading.fuelNames;
  if (draft.lecturas.length >= mostReadings) return say(`El informe ya tiene ${mostReadings} lecturas: quite una para añadir otra.`);
  if (!answer.cifras || Object.keys(answer.cajas).length) return say('Nada que añadir: la lectura escrita arriba no tiene resultados.');
  if (answer.fuera) return say('La lectura está fuera del modelo: no se añade al informe.');
  const fuel = draft.lecturas[0]?.entradas.combustible;
  if (fuel && fuel !== entradas.combustible) {
    return say(`El informe es de ${fuelNames[fuel]} y esta lectura de ${fuelNames[entradas.combustible]}: no se mezclan.`);
  }
  draft.lecturas.push({ fecha: nowIso(), nota: $('nota').value.trim(), entradas });
  saveDraft();
  refresh();
  say(`Lectura ${draft.lecturas.length} añadida al informe.`);
}

// Whether the report's readings are all in a kept report (its PDF made, shared or printed
// since the last was added or removed).
const readingsKept = () => !draft.lecturas.length || draft.guardadas === JSON.stringify(draft.lecturas);

// Nuevo informe: the report's own fields and readings cleared, the boiler's and the
// analyser's kept. Readings in no kept report are cleared only once the user says so;
// whatever is cleared can be brought back with Deshacer until the next report's change.
function newReport() {
  if (readingsKept()) return clearReport();
  const n = draft.lecturas.length;
  $('nuevo-texto').textContent = `${n === 1 ? 'La lectura del informe no está' : `Las ${n} lecturas del informe no están`} ` +
    'en ningún informe guardado (se guarda al hacer el PDF, compartirlo o imprimirlo). ¿Borrarlas y empezar un informe nuevo?';
  $('nuevo-dialogo').returnValue = '';
  $('nuevo-dialogo').showModal();
}

function clearReport() {
  const before = structuredClone(draft);
  draft = { campos: Object.fromEntries(Object.entries(draft.campos).filter(([id]) =>
    reportFields.some((f) => f.id === id && (f.guarda === 'caldera' || f.grupo === 'analizador')))),
  lecturas: [], registrado: null, fecha: null };
  showDraftFields();
  showSignatures();
  saveDraft();
  refresh();
  loadPrevious();
  say('Informe nuevo: los datos de la caldera y del analizador se quedan.');
  const undo = cell('button', 'Deshacer', 'secundario');
  undo.type = 'button';
  undo.id = 'informe-deshacer';
  undo.addEventListener('click', () => {
    draft = before;
    showDraftFields();
    showSignatures();
    saveDraft();
    refresh();
    loadPrevious();
    say(`Informe recuperado, con ${draft.lecturas.length === 1 ? 'su lectura' : `sus ${draft.lecturas.length} lecturas`}.`);
    $('anadir-lectura').focus();
  });
  $('informe-estado').append(' ', undo);
}

// The report's own fields on the form as the draft holds them.
function showDraftFields() {
  for (const field of reportFields.filter((f) => f.guarda === 'informe')) $(field.id).value = draft.campos[field.id] || '';
}

// The chosen boiler's last report before the one being written.
async function loadPrevious() {
  const key = store.boilerKey(boilerName());
  previous = key ? (await store.reportsOf(key)).find((r) => r.id !== draft.registrado) || null : null;
  refresh();
}

// A boiler chosen by its name: a known one fills its details and its fuel.
export async function boilerChosen() {
  const name = $('caldera').value.trim();
  const known = name ? await store.boiler(store.boilerKey(name)) : null;
  if (known) {
    for (const field of fieldsKept('caldera')) {
      $(field.id).value = known.campos[field.id] || '';
      draft.campos[field.id] = $(field.id).value;
    }
    saveDraft();
    if (known.combustible && $('combustible').value !== known.combustible) {
      $('combustible').value = known.combustible;
      reading.recalculate();
    }
    $('caldera-estado').textContent = `Caldera conocida: sus datos, rellenados${known.combustible ? `, con ${reading.fuelNames[known.combustible]}` : ''}.`;
  } else {
    $('caldera-estado').textContent = '';
  }
  await loadPrevious();
}

export async function listBoilers() {
  const names = (await store.boilers()).map((b) => b.caldera).sort((a, b) => a.localeCompare(b, 'es'));
  $('calderas-conocidas').replaceChildren(...names.map((name) => new Option('', name)));
}

// The boiler kept with the details on the form.
export async function keepBoiler(name, fuel) {
  if (!name) return;
  await store.putBoiler({ clave: store.boilerKey(name), caldera: name, combustible: fuel, campos: boilerFields() });
  await listBoilers();
}

// The report's number, given the first time it is kept (its PDF made, shared or printed):
// the settings' prefix and next number, which then goes up by one.
function numbered() {
  if (draft.numero) return;
  const kept = settings();
  const next = Number.parseInt(kept['informe-numero'], 10);
  const n = Number.isFinite(next) && next > 0 ? next : 1;
  draft.numero = `${(kept['informe-prefijo'] || '').trim()}${n}`;
  localStorage.setItem(settingsKey, JSON.stringify({ ...kept, 'informe-numero': String(n + 1) }));
  $('informe-numero').value = String(n + 1);
  saveDraft();
}

// The report kept in its boiler's history (replaced when it is made again), with the
// readings it was made of, its number and its signatures. A boiler with no name, make,
// model or serial number is kept under the report's date, apart from every other; the
// page asks for its name. Gives the name it was kept under.
async function keep(readings) {
  if (!readings.length) return '';
  draft.fecha ??= nowIso();
  const name = boilerName() || `Caldera sin nombre, ${day(draft.fecha)} ${time(draft.fecha)}`;
  await keepBoiler(name, readings[0].entradas.combustible);
  const record = { clave: store.boilerKey(name), caldera: name, fecha: draft.fecha, lecturas: readings,
    campos: Object.fromEntries(fieldsKept('informe').map((f) => [f.id, $(f.id).value.trim()])),
    numero: draft.numero || '', firmas: { ...(draft.firmas || {}) } };
  if (draft.registrado) record.id = draft.registrado;
  draft.registrado = await store.putReport(record);
  if (readings === draft.lecturas) draft.guardadas = JSON.stringify(draft.lecturas);
  saveDraft();
  return name;
}

// What the page says of a report kept without a name of its own.
const unnamed = (name) => (boilerName() ? '' : ` Guardado como «${name}»: escriba el nombre de la caldera para encontrarlo el año que viene.`);

// Sections side by side, those with rows: two, one after its heading, or none.
function sideBySide(...sections) {
  const given = sections.filter(({ rows }) => rows.length);
  if (given.length === 1) return [{ heading: given[0].heading }, { rows: given[0].rows }];
  return given.length ? [{ sideBySide: given }] : [];
}

// The report's content, blocks that the PDF and the printed page each lay out: headings,
// rows of a label and a value, tables, paragraphs, places to sign.
function content(answer, readings, when) {
  const all = { ...settings(), ...draft.campos };
  const fuel = readings[0].entradas.combustible;
  const valueOf = (field) => (all[field.id] || '').trim();
  // The installation's address is the holder's unless it is given.
  if (!valueOf({ id: 'instalacion-direccion' })) all['instalacion-direccion'] = all.direccion || '';
  const rowsOf = (group) => reportFields.filter((f) => f.grupo === group && valueOf(f) && (!f.combustible || f.combustible === fuel)
    && f.tipo !== 'nota' && f.id !== 'proxima-revision')
    .map((f) => [f.etiqueta, f.tipo === 'fecha' ? day(valueOf(f)) : f.tipo === 'numero' ? comma(valueOf(f)) : valueOf(f),
      f.id === 'analizador-calibracion' && answer.calibracion_vencida ? { colour: RED, bold: true, note: ': hace más de un año' } : undefined]);
  const unit = readings[0].entradas.unidad === 'F' ? '°F' : '°C';
  const blocks = [
    { heading: 'Informe de inspección de la combustión', size: 16, logo: true },
    { rows: [...(draft.numero ? [['Informe n.º', draft.numero]] : []), ['Fecha y hora', `${day(when)} ${time(when)}`]] },
    ...sideBySide({ heading: groupTitles.empresa, rows: rowsOf('empresa') }, { heading: groupTitles.titular, rows: rowsOf('titular') }),
    ...sideBySide(
      { heading: groupTitles.caldera,
        rows: [['Caldera', $('caldera').value.trim() || '—'], ...rowsOf('caldera'), ['Combustible', reading.fuelNames[fuel]]] },
      { heading: groupTitles.analizador,
        rows: rowsOf('analizador').map(([label, value, marked]) => [label, marked ? value + marked.note : value, marked]) }),
  ];
  const typedRows = [['O2 (%)', 'o2'], ['CO2 (%)', 'co2'], ['CO (ppm)', 'co'], [`Humos (${unit})`, 'temp'], [`Aire (${unit})`, 'aire']]
    .filter(([, id]) => readings.some((r) => r.entradas[id]))
    .map(([name, id]) => [name, ...readings.map((r) => comma(r.entradas[id]) || '—'), ...(readings.length > 1 ? [''] : [])]);
  blocks.push({ heading: 'Lecturas', keepWith: 120 },
    { table: readingsHead(readingNames(readings)), rows: [...typedRows, ...figureRows(answer)], numbers: true });
  const bases = new Map();
  answer.lecturas.forEach((r) => Object.entries(r.bases || {}).forEach(([id, basis]) => {
    const label = figures.find((f) => f.id === id).etiqueta.replace(/ \(.*\)$/, '');
    bases.set(label, [...new Set([...(bases.get(label) || []), basis])]);
  }));
  if (bases.size) blocks.push({ paragraph: [...bases].map(([label, texts]) => `${label}: ${texts.join('; ')}.`).join(' '), small: true });
  // Measured and written down by hand, under the readings.
  const recorded = [...rowsOf('anotadas'), ...(answer.opacidad_media ? [['Opacidad, media (Bacharach)', answer.opacidad_media]] : [])];
  if (recorded.length) blocks.push({ rows: recorded });
  if (answer.anterior) {
    const before = answer.anterior;
    blocks.push({ heading: `Informe anterior, del ${before.fecha}` });
    if (before.frase) blocks.push({ paragraph: before.frase[0].toUpperCase() + before.frase.slice(1) + '.' });
    const [head, rows] = changes(answer);
    blocks.push({ table: head, rows, numbers: true });
  }
  blocks.push({ heading: 'Veredicto', keepWith: 100 },
    { paragraph: answer.veredicto, bold: true, size: 14, verdict: verdictClass(answer.veredicto) },
    { paragraph: answer.motivo },
    ...(answer.calibracion_vencida ? [{ paragraph: calibrationLine(answer), bold: true, colour: RED }] : []),
    { table: ['Límite', 'Origen', 'Medido', 'Juicio'],
      rows: answer.limites.map((l) => [l.limite, l.fuente, l.medido || '—', { text: l.juicio, peligro: l.falla }]) },
    // The signatures under the verdict they sign, as drawn on the page.
    { boxes: ['Firma del técnico', 'Firma del titular'], images: [draft.firmas?.tecnico, draft.firmas?.titular] },
    { rows: [['Próxima revisión', day(nextInspection(when))]] });
  const notices = [...new Set([...answer.lecturas.flatMap((r) => [...(r.fallo ? [r.fallo] : []), ...(r.avisos || [])]),
    ...(tooClose(readings) ? [tooClose(readings)] : [])])];
  if (notices.length) blocks.push({ heading: 'Avisos de las lecturas' }, ...notices.map((text) => ({ paragraph: `• ${text}` })));
  const note = (all[fieldsKept('informe').find((f) => f.tipo === 'nota').id] || '').trim();
  if (note) blocks.push({ heading: 'Observaciones' }, { paragraph: note });
  return blocks;
}


// The report's texts as typed, each by the name of its box on the page.
function typedTexts(readings) {
  const all = { ...settings(), ...draft.campos };
  // A label two fields share ("N.º de serie") is named with its group.
  const shared = (f) => reportFields.filter((g) => g.etiqueta === f.etiqueta).length > 1;
  return [['Nombre de la caldera', $('caldera').value],
    ...reportFields.map((f) => [shared(f) ? `${f.etiqueta} (${groupTitles[f.grupo]})` : f.etiqueta, all[f.id] || '']),
    ...readings.map((r, i) => [`Nota de la lectura ${i + 1}`, r.nota || ''])];
}

// The PDF's bytes, and the boxes whose text its font cannot draw, with those characters.
async function pdfOf(blocks, boiler, texts, header) {
  // The PDF module is loaded on the first PDF, not with the page.
  const { Layout } = await import('./pdf.js');
  const pdf = await Layout.create({ title: `Informe de inspección${boiler ? ` — ${boiler}` : ''}`,
    author: settings()[fieldsKept('ajustes')[0].id] || '', subject: 'Inspección de la combustión',
    footer: `Quemador1 · Informe de inspección${boiler ? ` · ${boiler}` : ''}`, header });
  const missing = texts.map(([name, text]) => [name, pdf.cannotDraw(text)]).filter(([, chars]) => chars.length);
  for (const block of blocks) {
    if (block.logo && logo()) pdf.corner(await pdf.embedImage(logo()), { width: 140, height: 44 });
    if (block.heading) pdf.heading(block.heading, { size: block.size || 11, keepWith: block.keepWith });
    else if (block.sideBySide) pdf.sideBySide(block.sideBySide, { size: 9, labelShare: 0.36 });
    else if (block.table) {
      const [first, ...rest] = block.table;
      const share = block.table.length > 4 ? 0.28 : 0.34;
      pdf.table([{ title: first, share }, ...rest.map((title) => ({ title, share: (1 - share) / rest.length, align: block.numbers ? 'right' : 'left' }))],
        block.rows.map((row) => row.map((value) => (value?.peligro ? { text: value.text, colour: RED, bold: true } : value?.text ?? value))));
    } else if (block.rows) pdf.rows(block.rows, { size: 9 });
    else if (block.paragraph) {
      pdf.paragraph(block.paragraph, { size: block.size || (block.small ? 8 : 10), bold: block.bold,
        colour: block.colour || VERDICT_COLOURS[block.verdict] });
    } else if (block.boxes) {
      const images = await Promise.all((block.images || []).map((src) => (src ? pdf.embedImage(src) : null)));
      pdf.boxes(block.boxes, { height: 48, images });
    }
    else if (block.space) pdf.space(block.space);
  }
  return { bytes: await pdf.bytes(), missing };
}

// What the page says of characters the PDF cannot draw, by box.
const undrawable = (missing) => (missing.length
  ? `El PDF no puede dibujar ${missing.map(([name, chars]) => `${chars.map((c) => `«${c}»`).join(' ')} en ${name}`).join('; ')}: ` +
    'salen como «?». '
  : '');

// Rows of a label and a value as a table; a name isolated, so that it cannot reorder
// what follows it.
function rowsTable(rows) {
  const t = document.createElement('table');
  for (const [name, value, options] of rows) {
    const tr = t.insertRow();
    tr.append(cell('th', name));
    const td = cell('td', value, options?.colour ? 'peligro' : '');
    td.dir = 'auto';
    tr.append(td);
  }
  return t;
}

// The same blocks as the page prints them.
function fillTicket(blocks) {
  const ticket = $('ticket');
  ticket.replaceChildren(...blocks.map((block) => {
    if (block.heading) return cell(block.size ? 'h2' : 'h3', block.heading);
    if (block.sideBySide) {
      const div = document.createElement('div');
      div.className = 'lado';
      div.append(...block.sideBySide.map(({ heading, rows }) => {
        const section = document.createElement('div');
        section.append(cell('h3', heading), rowsTable(rows));
        return section;
      }));
      return div;
    }
    if (block.table) return Object.assign(table(block.table, block.rows), { className: block.numbers ? 'numeros' : '' });
    if (block.rows) return rowsTable(block.rows);
    if (block.paragraph) {
      return cell('p', block.paragraph, [block.small ? 'pequena' : '', block.verdict ? `palabra ${block.verdict}` : '',
        block.colour ? 'peligro' : ''].join(' ').trim());
    }
    if (block.boxes) {
      const div = document.createElement('div');
      div.className = 'firmas';
      div.append(...block.boxes.map((caption, i) => {
        const box = cell('div', caption, 'firma');
        if (block.images?.[i]) box.append(Object.assign(document.createElement('img'), { src: block.images[i], alt: '' }));
        return box;
      }));
      return div;
    }
    return document.createElement('div');
  }));
}

// The report of what is on the page now: its readings, the module's answer, its blocks.
function current() {
  const readings = reportReadings();
  if (!readings.length) return null;
  const when = draft.fecha || nowIso();
  const answer = inspect(readings);
  const all = { ...settings(), ...draft.campos };
  const header = [draft.numero ? `Informe n.º ${draft.numero}` : 'Informe de inspección', day(when), all.titular, boilerName()].map((t) => (t || '').trim()).filter(Boolean).join(' · ');
  return { readings, answer, blocks: content(answer, readings, when), when, header };
}

// The boiler and the report's date and time: two reports of a boiler on one day keep
// their own files.
function fileName(when, name) {
  const boiler = name.normalize('NFD').replace(/\p{M}/gu, '').replace(/[^A-Za-z0-9]+/g, '-')
    .replace(/^-|-$/g, '').slice(0, 40);
  return `informe${boiler ? `-${boiler}` : ''}-${isoDay(new Date(when))}-${time(when).replace(':', '')}.pdf`;
}

// Informe PDF and Compartir: the report kept in the boiler's history, made into a PDF and
// downloaded or shared.
async function output(share) {
  if (reportReadings().length) numbered();
  const report = current();
  const said = $('informe-salida');
  if (!report) {
    said.textContent = 'Nada que poner en el informe: añada una lectura, o escriba arriba una con resultados.';
    return;
  }
  said.textContent = 'Preparando el PDF…';
  try {
    const kept = await keep(report.readings);
    const { bytes, missing } = await pdfOf(report.blocks, kept, typedTexts(report.readings), report.header);
    performance.mark('informe-listo');
    const name = fileName(report.when, boilerName());
    const warning = undrawable(missing);
    const { download, shareOrDownload } = await import('./pdf.js');
    said.textContent = warning;
    if (share) {
      const how = await shareOrDownload(bytes, name, 'Informe de inspección');
      said.textContent = { compartido: `Informe compartido: ${name}.`, cancelado: 'No se ha compartido el informe.',
        descargado: `Este navegador no comparte archivos: informe descargado, ${name}.` }[how] + unnamed(kept);
    } else {
      download(new Blob([bytes], { type: 'application/pdf' }), name);
      said.textContent = `Informe descargado: ${name}.${unnamed(kept)}`;
    }
    if (warning) said.textContent = warning + said.textContent;
    document.body.dataset.informe = name;
  } catch (error) {
    said.textContent = `No se pudo hacer el PDF: ${error.message}. Si la página está sin conexión desde su primera visita, recárguela con conexión una vez.`;
  }
}

// Before printing: the report's blocks as the page's ticket, kept as the PDF is.
export function beforePrint() {
  if (reportReadings().length) numbered();
  const report = current();
  if (!report) {
    $('ticket').replaceChildren(cell('p', 'Nada que imprimir: añada una lectura al informe, o escriba una con resultados.'));
    return;
  }
  fillTicket(report.blocks);
  keep(report.readings).then((kept) => { $('informe-salida').textContent = `Informe guardado.${unnamed(kept)}`; });
}

export function startReport(wasm, page) {
  module = wasm;
  reading = page;
  buildFields();
  try {
    draft = { ...draft, ...JSON.parse(localStorage.getItem(draftKey) || '{}') };
  } catch {
    // A damaged draft is left for the next change to overwrite.
  }
  const kept = settings();
  for (const field of reportFields) {
    const value = field.guarda === 'ajustes' ? kept[field.id] : draft.campos[field.id];
    if (value !== undefined) $(field.id).value = value;
  }
  if (!Object.values(kept).some(Boolean)) $('ajustes').open = true;
  for (const who of ['tecnico', 'titular']) signature(who);
  showSignatures();
  showLogo();
  $('empresa-logo').addEventListener('change', logoChosen);
  $('empresa-logo-quitar').addEventListener('click', () => {
    localStorage.removeItem(logoKey);
    showLogo();
    $('empresa-logo-estado').textContent = 'Logotipo quitado.';
    $('empresa-logo').focus();
  });
  $('anadir-lectura').addEventListener('click', addReading);
  $('informe-nuevo').addEventListener('click', newReport);
  $('nuevo-confirmar').addEventListener('click', () => $('nuevo-dialogo').close('borrar'));
  $('nuevo-cancelar').addEventListener('click', () => $('nuevo-dialogo').close('cancelar'));
  $('nuevo-dialogo').addEventListener('close', () => {
    if ($('nuevo-dialogo').returnValue === 'borrar') clearReport();
    $('informe-nuevo').focus();
  });
  $('informe-pdf').addEventListener('click', () => output(false));
  $('compartir').addEventListener('click', () => output(true));
  $('imprimir').addEventListener('click', () => window.print());
  window.addEventListener('beforeprint', beforePrint);
  $('caldera').addEventListener('change', boilerChosen);
  readingChanged();
  listBoilers();
  loadPrevious();
}
