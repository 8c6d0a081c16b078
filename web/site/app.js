// SPDX-License-Identifier: GPL-3.0-or-later
// The reading page: the boxes go to the WebAssembly module on every change, and what it
// answers is shown as it comes (figures, bases, notices, boxes it cannot read). The
// page computes nothing itself.

import factory from './quemador.mjs';
import * as readings from './readings.js';
import { boxes, coLimit, figures, summaryFigures } from './names.js';
import { callBytes, callJson } from './module.js';
// What the first result does not need is loaded on use (the PDF module, the backup) or
// just after it (the log view and its chart).
const pdfModule = () => import('./pdf.js');
const backupModule = () => import('./backup.js');
const logModule = () => import('./log.js');
let logView; // the log view's module, once loaded
import { boilerChosen, keepBoiler, listBoilers, nowIso, readingChanged, settings, startReport } from './report.js';

const typedKey = 'quemador1.lectura';
const updatedKey = 'quemador1.actualizada';
// The ids of the window's efficiency and the net one, for a reading's one-line summary.
const [grossFigure, netFigure] = summaryFigures;

const $ = (id) => document.getElementById(id);
let module;
let last = {}; // the module's last answer
let fuelNames = {};

function typed() {
  return Object.fromEntries(boxes.map((id) => [id, $(id).value]));
}

// A reading's boxes, with the settings' limits (the CO's is judged on it).
function evaluate(values) {
  return callJson(module, 'quemador_evaluate', { ...settings(), ...values });
}

// The results' list, a row for each figure of the module's table.
function figureRows() {
  $('cifras').replaceChildren(...figures.map(({ id, etiqueta }) => {
    const div = document.createElement('div');
    const dt = document.createElement('dt');
    dt.textContent = etiqueta;
    const dd = document.createElement('dd');
    const value = document.createElement('span');
    value.className = 'cifra';
    value.id = id;
    const base = document.createElement('span');
    base.className = 'base';
    base.id = `base-${id}`;
    dd.append(value, base);
    if (id === coLimit.cifra) {
      const danger = document.createElement('span');
      danger.className = 'peligro';
      danger.id = `${id}-peligro`;
      dd.append(danger);
    }
    div.append(dt, dd);
    return div;
  }));
}

function setText(id, text) {
  const element = $(id);
  if (element.textContent !== text) element.textContent = text;
}

// What the module answered, on the page. focusFailure: the box the model blames gets
// the focus (on Enter, or a change of that box).
function show(answer, focusFailure) {
  last = answer;
  const cifras = answer.cifras || {};
  const bases = answer.bases || {};
  for (const { id } of figures) {
    setText(id, cifras[id] || '');
    const base = $('base-' + id);
    if (base) setText(base.id, bases[id] ? `(${bases[id]})` : '');
    $(id).closest('div').classList.toggle('vacia', !cifras[id]);
  }
  for (const id of boxes.filter((box) => $(box).tagName === 'INPUT')) {
    const message = answer.cajas[id] || (answer.caja_fallo === id ? answer.fallo : '');
    const error = $(id + '-error');
    setText(error.id, message);
    error.hidden = !message;
    if (message) $(id).setAttribute('aria-invalid', 'true');
    else $(id).removeAttribute('aria-invalid');
  }
  const notices = [...(answer.fallo ? [answer.fallo] : []), ...(answer.avisos || [])];
  const list = $('avisos');
  if ([...list.children].map((li) => li.textContent).join('\n') !== notices.join('\n')) {
    list.replaceChildren(...notices.map((text) => {
      const li = document.createElement('li');
      li.textContent = text;
      return li;
    }));
  }
  $('avisos-titulo').parentElement.hidden = notices.length === 0;
  setText(`${coLimit.cifra}-peligro`, answer.co_supera ? `CO ${answer.co_supera}` : '');
  const unit = $('unidad').value === 'F' ? '°F' : '°C';
  setText('aire-nota', $('aire').value.trim() ? '' : `Vacía: el modelo supone aire a ${answer.aire_supuesto}.`);
  let state = '';
  if (Object.keys(answer.cajas).length) state = 'Corrija lo señalado en las casillas.';
  else if (!answer.cifras && !answer.fallo) state = `Escriba el O2 y la temperatura de humos (${unit}).`;
  else if (answer.fuera) state = 'Lectura fuera del modelo: los resultados no significan nada (vea los avisos).';
  setText('estado', state);
  if (answer.fallo && focusFailure) $(answer.caja_fallo).focus();
  showSummary();
}

// The efficiencies at the bottom of a phone's screen while the results are below it,
// and a CO past its limit while its figure is.
function showSummary() {
  const below = (id) => $(id).getBoundingClientRect().top > innerHeight - $('franja').offsetHeight;
  const figure = (id) => $(id).textContent.trim();
  const gross = figure(grossFigure);
  const net = figure(netFigure);
  const danger = last.co_supera ? `CO ${figure(coLimit.cifra)} ppm sin aire: supera el límite` : '';
  const text = [gross && gross !== '—' && `Eficiencia ${gross} %` + (net ? ` · neta ${net} %` : ''), danger]
    .filter(Boolean).join(' · ');
  setText('franja', text);
  $('franja').classList.toggle('peligro', !!danger);
  $('franja').hidden = !text || $('vista-lectura').hidden || !(below('cifras') || (danger && below(coLimit.cifra)));
  document.body.classList.toggle('con-franja', !$('franja').hidden);
}

function recalculate(focusFailure = false) {
  const values = typed();
  localStorage.setItem(typedKey, JSON.stringify({ ...values, caldera: $('caldera').value, nota: $('nota').value }));
  show(evaluate(values), focusFailure);
  readingChanged();
}

// A change of unit with temperatures typed: they are now read in the new unit, said
// beside it.
function unitChanged() {
  const temperatures = ['temp', 'aire', 'objetivo-temp'].map((id) => $(id).value.trim()).filter(Boolean);
  const unit = $('unidad').value === 'F' ? '°F' : '°C';
  setText('unidad-nota', temperatures.length
    ? `Las temperaturas escritas (${temperatures.join(', ')}) se leen ahora en ${unit}: compruebe que es su unidad.` : '');
}

function restore(values) {
  for (const id of [...boxes, 'caldera', 'nota']) {
    if (values[id] !== undefined && (id !== 'combustible' && id !== 'unidad' || values[id])) $(id).value = values[id];
  }
}

// The most saved readings listed: a phone's page stays light with thousands kept (all
// are exported).
const mostListed = 200;

// The saved readings, newest first, each with its figures and two buttons.
async function showSaved() {
  const saved = await readings.all();
  const list = $('lecturas');
  list.replaceChildren(...saved.slice(0, mostListed).map((reading) => {
    const li = document.createElement('li');
    const when = formatDate(reading.fecha);
    const title = document.createElement('p');
    title.className = 'titulo';
    title.textContent = [when, reading.caldera].filter(Boolean).join(' — ');
    const summary = document.createElement('p');
    const e = reading.entradas;
    const unit = e.unidad === 'F' ? '°F' : '°C';
    const gross = reading.respuesta.cifras[grossFigure];
    const net = reading.respuesta.cifras[netFigure];
    const shownNet = net ? `, neta ${net.trim()} %` : '';
    const outside = reading.respuesta.fuera ? ' (fuera del modelo)' : '';
    summary.textContent = `${fuelNames[e.combustible] || e.combustible}, O2 ${e.o2} %, humos ${e.temp} ${unit}: ` +
      `eficiencia ${gross.trim()}${outside ? '' : ' %'}${shownNet}${outside}` + (reading.nota ? `. ${reading.nota}` : '');
    const open = document.createElement('button');
    open.type = 'button';
    open.textContent = 'Abrir';
    open.setAttribute('aria-label', `Abrir la lectura del ${title.textContent}`);
    open.addEventListener('click', () => {
      restore({ ...reading.entradas, caldera: reading.caldera, nota: reading.nota });
      recalculate();
      location.hash = '#lectura';
      $('o2').focus();
    });
    const remove = document.createElement('button');
    remove.type = 'button';
    remove.className = 'secundario';
    remove.textContent = 'Borrar';
    remove.setAttribute('aria-label', `Borrar la lectura del ${title.textContent}`);
    remove.addEventListener('click', async () => {
      await readings.remove(reading.id);
      await showSaved();
      setText('guardadas-estado', 'Lectura borrada.');
      ($('lecturas').querySelector('button') || $('exportar')).focus();
    });
    const actions = document.createElement('div');
    actions.className = 'botones';
    actions.append(open, remove);
    li.append(title, summary, actions);
    return li;
  }));
  $('exportar').disabled = !(await readings.hasAnything());
  $('guardadas-grafico').disabled = saved.length === 0;
  if (!saved.length) setText('guardadas-estado', 'Ninguna lectura guardada en este navegador.');
  setText('guardadas-mas', saved.length > mostListed
    ? `Se ven las ${mostListed} más recientes de ${saved.length} lecturas guardadas; Exportar CSV las lleva todas.` : '');
  return saved;
}

function formatDate(iso) {
  const d = new Date(iso);
  const two = (n) => String(n).padStart(2, '0');
  return `${two(d.getDate())}/${two(d.getMonth() + 1)}/${d.getFullYear()} ${two(d.getHours())}:${two(d.getMinutes())}`;
}

// Saves the reading under its boiler, unless it is the boiler's last saved reading again.
async function save() {
  if (!last.cifras) {
    setText('guardadas-estado', 'Nada que guardar: la lectura no tiene resultados.');
    return;
  }
  const caldera = $('caldera').value.trim();
  const entradas = typed();
  const key = readings.boilerKey(caldera);
  const before = (await readings.all()).find((r) => readings.boilerKey(r.caldera || '') === key);
  if (before && readings.sameBoxes(before.entradas, entradas)) {
    setText('guardadas-estado', `Esta lectura es igual a la última guardada${caldera ? ` de la caldera \u2068${caldera}\u2069` : ''}, ` +
      `del ${formatDate(before.fecha)}: no se guarda otra vez.`);
    return;
  }
  await readings.add({ fecha: nowIso(), caldera, nota: $('nota').value.trim(), entradas, respuesta: last });
  await keepBoiler(caldera, entradas.combustible);
  await showSaved();
  setText('guardadas-estado', 'Lectura guardada.');
}

// The module's CSV of a request, as bytes (its byte order mark kept); an error it
// answers instead is raised.
function exported(request) {
  const bytes = callBytes(module, 'quemador_export', JSON.stringify(request));
  if (bytes[0] === 0x7b) throw new Error(JSON.parse(new TextDecoder().decode(bytes)).error);
  return bytes;
}

// The saved readings charted as a log is.
async function chartSaved() {
  const request = await (await backupModule()).exportRequest(true);
  if (!request.lecturas.length) return;
  location.hash = '#registro';
  (await logModule()).openLog(new File([exported(request)], 'lecturas-guardadas.csv', { type: 'text/csv' }));
}

// Everything kept, as a CSV written by the module.
async function exportSaved() {
  const [{ exportRequest }, { download }] = await Promise.all([backupModule(), pdfModule()]);
  const request = await exportRequest();
  const rows = request.lecturas.length + request.informes.reduce((n, r) => n + r.lecturas.length, 0);
  if (!rows) return;
  try {
    download(new Blob([exported(request)], { type: 'text/csv;charset=utf-8' }), `lecturas-quemador1-${new Date().toISOString().slice(0, 10)}.csv`);
  } catch (error) {
    setText('guardadas-estado', `No se pudo exportar: ${error.message}.`);
    return;
  }
  setText('guardadas-estado', `Exportadas ${request.lecturas.length} lecturas guardadas, ${request.informes.length} informes ` +
    `y ${request.calderas.length} calderas.`);
}

async function importSaved() {
  const file = $('importar').files[0];
  if (!file) return;
  try {
    setText('guardadas-estado', `Importando ${file.name}…`);
    const counts = await (await backupModule()).importBackup(module, file, evaluate);
    await showSaved();
    await listBoilers();
    await boilerChosen();
    const skipped = counts.sinFecha.length;
    setText('guardadas-estado', `Importadas ${counts.lecturas} lecturas, ${counts.informes} informes y ${counts.calderas} calderas` +
      (counts.repetidas ? `; ${counts.repetidas} ya estaban o se repetían` : '') +
      (skipped ? `; ${skipped} ${skipped === 1 ? 'fila no se importa' : 'filas no se importan'} porque su fecha no se lee: ` +
        `${counts.sinFecha.slice(0, 20).join(', ')}${skipped > 20 ? ` y ${skipped - 20} más` : ''}.` : '.'));
  } catch (error) {
    setText('guardadas-estado', `No se puede importar ${file.name}: ${error.message}.`);
  }
  $('importar').value = '';
}

async function showHelp() {
  const target = $('ayuda-texto');
  if (target.childElementCount) return;
  const html = await (await fetch('ayuda.html')).text();
  const help = new DOMParser().parseFromString(html, 'text/html');
  // Its headings step under the view's own.
  for (const heading of help.body.querySelectorAll('h2, h3')) {
    const lower = document.createElement(heading.tagName === 'H2' ? 'h3' : 'h4');
    lower.append(...heading.childNodes);
    heading.replaceWith(lower);
  }
  target.replaceChildren(...help.body.childNodes);
}

function showView() {
  const help = location.hash === '#ayuda';
  const log = location.hash === '#registro';
  $('vista-lectura').hidden = help || log;
  $('vista-ayuda').hidden = !help;
  $('vista-registro').hidden = !log;
  showSummary();
  if (help) showHelp().then(() => $('ayuda').focus());
  if (log) $('registro').focus();
}

async function start() {
  figureRows();
  module = await factory();
  for (const fuel of callJson(module, 'quemador_fuels')) {
    fuelNames[fuel.valor] = fuel.nombre;
    $('combustible').querySelector(`option[value="${fuel.valor}"]`).textContent = fuel.nombre;
  }
  try {
    restore(JSON.parse(localStorage.getItem(typedKey) || '{}'));
  } catch {
    // A damaged saved state is left for the next change to overwrite.
  }
  startReport(module, { typed, answer: () => last, fuelNames, recalculate: () => recalculate() });
  recalculate();
  performance.mark('primer-resultado');

  const form = $('formulario');
  form.addEventListener('input', () => recalculate());
  form.addEventListener('change', (event) => recalculate(event.target.id === last.caja_fallo));
  form.addEventListener('submit', (event) => event.preventDefault());
  form.addEventListener('keydown', (event) => {
    if (event.key === 'Enter' && event.target.tagName === 'INPUT') {
      event.preventDefault();
      recalculate(true);
    }
  });
  for (const id of ['caldera', 'nota']) $(id).addEventListener('input', () => recalculate());
  $('guardar').addEventListener('click', save);
  $('exportar').addEventListener('click', exportSaved);
  $('guardadas-grafico').addEventListener('click', chartSaved);
  $('unidad').addEventListener('change', unitChanged);
  $('importar').addEventListener('change', importSaved);
  window.addEventListener('hashchange', showView);
  window.addEventListener('scroll', showSummary, { passive: true });
  window.addEventListener('resize', showSummary);
  $('franja').addEventListener('click', () => $('resultados-titulo').scrollIntoView());
  logView = await logModule();
  logView.startLogView(module, fuelNames);
  document.body.dataset.listo = '';
  showView();
  await showSaved();
  document.body.dataset.guardadas = '';
  if ('serviceWorker' in navigator) {
    const controlled = !!navigator.serviceWorker.controller;
    navigator.serviceWorker.addEventListener('controllerchange', () => controlled && newVersion());
    navigator.serviceWorker.register('sw.js');
  }
  if (sessionStorage.getItem(updatedKey)) {
    sessionStorage.removeItem(updatedKey);
    showVersion('La página se ha actualizado a su versión nueva.', false);
    document.body.dataset.actualizada = '';
  }
}

function showVersion(text, withReload) {
  const button = document.createElement('button');
  button.type = 'button';
  button.textContent = 'Recargar';
  button.addEventListener('click', () => location.reload());
  $('version').replaceChildren(text, ...(withReload ? [' ', button] : []));
  $('version').hidden = false;
}

// A new version of the site has taken over from the one this page came from: the page
// reloads to be all of one version, or, when a reload would lose a log's results, says
// so and waits for the user.
function newVersion() {
  if (logView?.busy()) {
    logView.setStale();
    showVersion('Hay una versión nueva de la página; recárguela cuando haya guardado los resultados del registro.', true);
    return;
  }
  sessionStorage.setItem(updatedKey, '1');
  location.reload();
}

start();
