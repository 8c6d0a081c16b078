// SPDX-License-Identifier: GPL-3.0-or-later
// The log view: a CSV log chosen or dropped is read in a worker by the same module
// (log_worker.js), with a progress bar and Cancel; then the results to download, under
// the input's name, the summary as quemador1-calc gives it, the rows with notes, each
// shown in the preview when chosen, and the chart. The main thread only shows.

import { chartPng, drawChart } from './chart.js';
import { columns, logOptions } from './names.js';

const $ = (id) => document.getElementById(id);
let worker = null;
let plot = null;
let chart = null;
let shown = null; // the file whose results are shown

// uPlot, loaded the first time a chart is drawn.
let uplotLoaded;
function loadUplot() {
  uplotLoaded ??= new Promise((resolve, reject) => {
    const script = document.createElement('script');
    script.src = 'uplot/uPlot.min.js';
    script.onload = resolve;
    script.onerror = reject;
    document.head.append(script);
  });
  return uplotLoaded;
}

// informe.csv → informe-resultados.csv
export function resultsName(name) {
  const dot = name.lastIndexOf('.');
  return (dot > 0 ? name.slice(0, dot) : name) + '-resultados.csv';
}

// The module's request: the file's name and each option by its key, from the control
// registro-<key> (a box's text, a box ticked); the unit's control names its option.
function request(file) {
  const options = { nombre: file.name };
  for (const key of logOptions) {
    const control = $(`registro-${key}`);
    if (control) options[key] = control.type === 'checkbox' ? control.checked : control.value;
  }
  const unit = $('registro-unidad').value;
  if (unit) options[unit] = true;
  return JSON.stringify(options);
}

function setRunning(running) {
  $('registro-calcular').disabled = running;
  $('registro-cancelar').hidden = !running;
  $('registro-progreso').hidden = !running;
}

function say(text) {
  $('registro-estado').textContent = text;
}

// Reads a file with the options on the page.
export function openLog(file) {
  if (worker) worker.terminate();
  shown = null;
  $('registro-resultados').hidden = true;
  $('descargar')?.remove();
  $('registro-avance').value = 0;
  setRunning(true);
  say(`Leyendo ${file.name}…`);
  const started = performance.now();
  worker = new Worker(new URL('log_worker.js', import.meta.url), { type: 'module' });
  worker.onmessage = ({ data }) => {
    if (data.avance) {
      $('registro-avance').value = data.avance.total ? data.avance.bytes / data.avance.total : 0;
      return;
    }
    worker.terminate();
    worker = null;
    setRunning(false);
    document.body.dataset.registroMs = String(Math.round(performance.now() - started));
    show(file, data.respuesta, data.resultados);
  };
  worker.onerror = (event) => {
    worker = null;
    setRunning(false);
    say(`No se pudo leer el registro: ${event.message}`);
  };
  worker.postMessage({ file, request: request(file) });
}

function cancel() {
  if (!worker) return;
  worker.terminate();
  worker = null;
  setRunning(false);
  say('Cancelado: no se escribió nada.');
  $('registro-archivo').focus();
}

function cells(tag, texts) {
  const tr = document.createElement('tr');
  for (const text of texts) {
    const cell = document.createElement(tag);
    cell.textContent = text;
    if (tag === 'th') cell.scope = 'col';
    tr.append(cell);
  }
  return tr;
}

function showSummary(answer) {
  const [head, ...rows] = answer.tabla;
  const table = document.createElement('table');
  table.createTHead().append(cells('th', head));
  const body = table.createTBody();
  for (const row of rows) body.append(cells('td', row));
  const wrap = document.createElement('div');
  wrap.className = 'tabla';
  wrap.tabIndex = 0;
  wrap.setAttribute('role', 'region');
  wrap.setAttribute('aria-label', 'Tabla del resumen');
  wrap.append(table);
  const lines = document.createElement('ul');
  for (const text of [...answer.lineas, answer.cuentas]) {
    const li = document.createElement('li');
    li.textContent = text;
    lines.append(li);
  }
  $('resumen').replaceChildren(wrap, lines);
}

function showRow(notice) {
  const box = $('registro-fila');
  const heading = document.createElement('h4');
  heading.textContent = `Línea ${notice.linea}`;
  const table = document.createElement('table');
  const body = table.createTBody();
  const width = Math.max(notice.encabezado.length, notice.campos.length);
  for (let i = 0; i < width; i++) {
    const tr = body.insertRow();
    const th = document.createElement('th');
    th.scope = 'row';
    th.textContent = notice.encabezado[i] ?? `(columna ${i + 1})`;
    tr.append(th);
    tr.insertCell().textContent = notice.campos[i] ?? '';
  }
  const reason = document.createElement('p');
  reason.textContent = `aviso: ${notice.aviso}`;
  const wrap = document.createElement('div');
  wrap.className = 'tabla';
  wrap.append(table);
  box.replaceChildren(heading, wrap, reason);
  box.focus();
}

function showNotices(answer) {
  const list = $('registro-avisos');
  list.replaceChildren(...answer.avisos.map((notice) => {
    const li = document.createElement('li');
    const link = document.createElement('a');
    link.href = `#fila-${notice.linea}`;
    link.textContent = `Línea ${notice.linea}`;
    link.addEventListener('click', (event) => {
      event.preventDefault();
      showRow(notice);
    });
    li.append(link, `: ${notice.aviso}`);
    return li;
  }));
  $('registro-fila').replaceChildren();
  const total = answer.avisos_total;
  $('registro-avisos-nota').textContent = total === 0 ? 'Ninguna fila con aviso.'
    : total > answer.avisos.length ? `${total} filas con aviso; aquí, las ${answer.avisos.length} primeras (cada fila lo dice en la columna aviso de los resultados).`
      : `${total} ${total === 1 ? 'fila' : 'filas'} con aviso.`;
}

async function showChart(answer) {
  chart = answer.grafico;
  plot = null;
  $('grafico-png').disabled = chart.series.length === 0;
  if (chart.series.length === 0) {
    const none = document.createElement('p');
    none.textContent = 'Ninguna fila calculada que dibujar.';
    $('grafico').replaceChildren(none);
    return;
  }
  await loadUplot();
  plot = drawChart($('grafico'), chart);
}

function show(file, answer, results) {
  if (answer.estado === 2) {
    say(`No se puede leer el registro: ${answer.error}`);
    return;
  }
  shown = file;
  const link = document.createElement('a');
  link.id = 'descargar';
  link.href = URL.createObjectURL(results);
  link.download = resultsName(file.name);
  link.textContent = `Descargar resultados (${link.download})`;
  $('registro-descarga').replaceChildren(link);
  say(answer.estado === 0 ? `${file.name}: todas las filas calculadas.`
    : `${file.name}: hay filas sin resultado, fuera del modelo o dudosas (vea los avisos).`);
  showSummary(answer);
  showNotices(answer);
  $('registro-resultados').hidden = false;
  showChart(answer).then(() => { document.body.dataset.registro = file.name; });
}

async function savePng() {
  if (!plot) return;
  const png = await chartPng(plot, chart);
  const link = document.createElement('a');
  link.href = URL.createObjectURL(png);
  link.download = (shown ? shown.name.replace(/\.[^.]*$/, '') : 'registro') + '-grafico.png';
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

// The view's controls: a box for each column the module knows, and the handlers.
export function startLogView(module, fuelNames) {
  $('registro-columnas').replaceChildren(...columns.map((c) => {
    const div = document.createElement('div');
    div.className = 'campo';
    const label = document.createElement('label');
    label.htmlFor = `registro-${c.clave}`;
    label.textContent = `Columna: ${c.que}`;
    const input = document.createElement('input');
    input.id = `registro-${c.clave}`;
    input.title = c.ayuda;
    div.append(label, input);
    return div;
  }));
  for (const [value, name] of Object.entries(fuelNames)) {
    $('registro-combustible').querySelector(`option[value="${value}"]`).textContent = name;
  }
  const chosen = () => $('registro-archivo').files[0];
  $('registro-archivo').addEventListener('change', () => chosen() && openLog(chosen()));
  $('registro-formulario').addEventListener('submit', (event) => {
    event.preventDefault();
    if (chosen()) openLog(chosen());
    else say('Elija primero un registro CSV.');
  });
  $('registro-cancelar').addEventListener('click', cancel);
  $('grafico-png').addEventListener('click', savePng);
  const drop = $('registro-soltar');
  drop.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('encima');
  });
  drop.addEventListener('dragleave', () => drop.classList.remove('encima'));
  drop.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('encima');
    const file = event.dataTransfer.files[0];
    if (file) openLog(file);
  });
  window.addEventListener('resize', () => {
    if (plot) plot.setSize({ width: Math.max(280, $('grafico').clientWidth), height: plot.height });
  });
}
