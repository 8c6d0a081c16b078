// SPDX-License-Identifier: GPL-3.0-or-later
// The reading page: the boxes go to the WebAssembly module on every change, and what it
// answers is shown as it comes (figures, bases, notices, boxes it cannot read). The
// page computes nothing itself.

import factory from './quemador.mjs';
import * as readings from './readings.js';
import { boxes, figures, summaryFigures } from './names.js';
import { busy, openLog, setStale, startLogView } from './log.js';
import { download } from './pdf.js';

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

function evaluate(values) {
  return JSON.parse(module.ccall('quemador_evaluate', 'string', ['string'], [JSON.stringify(values)]));
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

// The efficiencies at the bottom of a phone's screen while the results are below it.
function showSummary() {
  const resultsBelow = document.querySelector('.cifras').getBoundingClientRect().top > innerHeight;
  const figure = (id) => $(id).textContent.trim();
  const gross = figure(grossFigure);
  const net = figure(netFigure);
  const text = gross && gross !== '—' && `Eficiencia ${gross} %` + (net ? ` · neta ${net} %` : '');
  setText('franja', text || '');
  $('franja').hidden = !text || !resultsBelow || $('vista-lectura').hidden;
  document.body.classList.toggle('con-franja', !$('franja').hidden);
}

function recalculate(focusFailure = false) {
  const values = typed();
  localStorage.setItem(typedKey, JSON.stringify({ ...values, caldera: $('caldera').value, nota: $('nota').value }));
  show(evaluate(values), focusFailure);
}

function restore(values) {
  for (const id of [...boxes, 'caldera', 'nota']) {
    if (values[id] !== undefined && (id !== 'combustible' && id !== 'unidad' || values[id])) $(id).value = values[id];
  }
}

// The saved readings, newest first, each with its figures and two buttons.
async function showSaved() {
  const saved = await readings.all();
  const list = $('lecturas');
  list.replaceChildren(...saved.map((reading) => {
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
  $('exportar').disabled = saved.length === 0;
  $('guardadas-grafico').disabled = saved.length === 0;
  if (!saved.length) setText('guardadas-estado', 'Ninguna lectura guardada en este navegador.');
  return saved;
}

function formatDate(iso) {
  const d = new Date(iso);
  const two = (n) => String(n).padStart(2, '0');
  return `${two(d.getDate())}/${two(d.getMonth() + 1)}/${d.getFullYear()} ${two(d.getHours())}:${two(d.getMinutes())}`;
}

async function save() {
  if (!last.cifras) {
    setText('guardadas-estado', 'Nada que guardar: la lectura no tiene resultados.');
    return;
  }
  await readings.add({
    fecha: new Date().toISOString(),
    caldera: $('caldera').value.trim(),
    nota: $('nota').value.trim(),
    entradas: typed(),
    respuesta: last,
  });
  await showSaved();
  setText('guardadas-estado', 'Lectura guardada.');
}

// The saved readings as the log they export to, written by the module.
async function savedLog() {
  const saved = (await readings.all()).reverse();
  if (!saved.length) return null;
  const request = saved.map((r) => ({ fecha: formatDate(r.fecha), caldera: r.caldera, nota: r.nota, entradas: r.entradas }));
  return module.ccall('quemador_export', 'string', ['string'], [JSON.stringify(request)]);
}

// The saved readings charted as a log is.
async function chartSaved() {
  const csv = await savedLog();
  if (!csv) return;
  location.hash = '#registro';
  openLog(new File([csv], 'lecturas-guardadas.csv', { type: 'text/csv' }));
}

async function exportSaved() {
  const saved = await readings.all();
  const csv = await savedLog();
  if (!csv) return;
  download(new Blob([csv], { type: 'text/csv;charset=utf-8' }), `lecturas-quemador1-${new Date().toISOString().slice(0, 10)}.csv`);
  setText('guardadas-estado', `Exportadas ${saved.length} lecturas.`);
}

// The one-page ticket: boiler, date, readings, results with their bases, notices.
function fillTicket() {
  const values = typed();
  const unit = values.unidad === 'F' ? '°F' : '°C';
  const rows = [
    ['Caldera', $('caldera').value.trim() || '—'],
    ['Fecha', formatDate(new Date().toISOString())],
    ['Combustible', fuelNames[values.combustible]],
    ['O2', values.o2 && `${values.o2} %`],
    ['CO2', values.co2 && `${values.co2} %`],
    ['CO', values.co && `${values.co} ppm`],
    ['Temperatura de humos', values.temp && `${values.temp} ${unit}`],
    ['Aire de combustión', values.aire ? `${values.aire} ${unit}` : `${last.aire_supuesto} (supuesto)`],
    ['O2 objetivo', values['objetivo-o2'] && `${values['objetivo-o2']} %`],
    ['Humos objetivo', values['objetivo-temp'] && `${values['objetivo-temp']} ${unit}`],
  ];
  for (const { id, etiqueta } of figures) {
    const text = $(id).textContent.trim();
    if (text) rows.push([etiqueta, text, last.bases?.[id]]);
  }
  if ($('nota').value.trim()) rows.push(['Nota', $('nota').value.trim()]);
  const ticket = $('ticket');
  const heading = document.createElement('h2');
  heading.textContent = 'Quemador1 — lectura de combustión';
  const table = document.createElement('table');
  for (const [name, value, basis] of rows.filter((row) => row[1])) {
    const tr = table.insertRow();
    const th = document.createElement('th');
    th.textContent = name;
    tr.append(th);
    tr.insertCell().textContent = basis ? `${value} (${basis})` : value;
  }
  const notices = document.createElement('ul');
  for (const li of $('avisos').children) notices.append(li.cloneNode(true));
  const noticesHeading = document.createElement('h3');
  noticesHeading.textContent = 'Avisos';
  ticket.replaceChildren(heading, table, ...(notices.children.length ? [noticesHeading, notices] : []));
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
  for (const fuel of JSON.parse(module.ccall('quemador_fuels', 'string', [], []))) {
    fuelNames[fuel.valor] = fuel.nombre;
    $('combustible').querySelector(`option[value="${fuel.valor}"]`).textContent = fuel.nombre;
  }
  try {
    restore(JSON.parse(localStorage.getItem(typedKey) || '{}'));
  } catch {
    // A damaged saved state is left for the next change to overwrite.
  }
  recalculate();
  performance.mark('primer-resultado');
  document.body.dataset.listo = '';

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
  startLogView(module, fuelNames);
  $('imprimir').addEventListener('click', () => window.print());
  window.addEventListener('beforeprint', fillTicket);
  window.addEventListener('hashchange', showView);
  window.addEventListener('scroll', showSummary, { passive: true });
  window.addEventListener('resize', showSummary);
  $('franja').addEventListener('click', () => $('resultados-titulo').scrollIntoView());
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
  if (busy()) {
    setStale();
    showVersion('Hay una versión nueva de la página; recárguela cuando haya guardado los resultados del registro.', true);
    return;
  }
  sessionStorage.setItem(updatedKey, '1');
  location.reload();
}

start();
