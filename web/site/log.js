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
let stale = false; // a newer version of the site has taken over: no worker of it here

// Whether the view is reading a log or shows one's results, which a reload would lose.
export const busy = () => !!worker || !!shown;

// A newer version of the site took over: this page's workers would come from it.
export function setStale() {
  stale = true;
}

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
// registro-<key> (a box's text, a box ticked); the unit's control names its option. As
// JSON, a file's name with a line end or a quote is a name and nothing else.
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

// The view's state: texts, and file names isolated, so that a name written right to
// left, or with controls that reorder text, cannot reorder what follows it.
function say(...parts) {
  $('registro-estado').replaceChildren(...parts.map((part) => {
    if (typeof part === 'string') return part;
    const name = document.createElement('bdi');
    name.textContent = part.name;
    return name;
  }));
}

// Reads a file with the options on the page.
export function openLog(file) {
  if (stale) {
    say('Hay una versión nueva de la página: pulse Recargar, arriba, y elija el registro de nuevo.');
    return;
  }
  if (worker) worker.terminate();
  shown = null;
  $('registro-resultados').hidden = true;
  $('descargar')?.remove();
  $('registro-avance').value = 0;
  setRunning(true);
  say('Leyendo ', file, '…');
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

// A cell's text, shortened past a width with the whole of it on hover.
function cellText(cell, text) {
  cell.textContent = text;
  cell.dir = 'auto';
  if ([...text].length > 40) {
    cell.classList.add('largo');
    cell.title = text;
  }
}

function cells(tag, texts) {
  const tr = document.createElement('tr');
  for (const text of texts) {
    const cell = document.createElement(tag);
    cellText(cell, text);
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
  notice.columnas.forEach((number, i) => {
    const tr = body.insertRow();
    const th = document.createElement('th');
    th.scope = 'row';
    cellText(th, notice.encabezado[i] || `(columna ${number})`);
    tr.append(th);
    cellText(tr.insertCell(), notice.campos[i]);
  });
  const reason = document.createElement('p');
  reason.textContent = `aviso: ${notice.aviso}`;
  const wrap = document.createElement('div');
  wrap.className = 'tabla';
  wrap.append(table);
  const more = document.createElement('p');
  more.className = 'nota';
  more.textContent = `Aquí, las primeras columnas y las de las lecturas; ${notice.omitidas} columnas más en el registro.`;
  box.replaceChildren(heading, wrap, ...(notice.omitidas > 0 ? [more] : []), reason);
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

function sayOfChart(text) {
  $('grafico-estado').textContent = text;
}

function show(file, answer, results) {
  if (answer.estado === 2) {
    say(`No se puede leer el registro: ${answer.error}`);
    return;
  }
  shown = file;
  sayOfChart('');
  const link = document.createElement('a');
  link.id = 'descargar';
  link.href = URL.createObjectURL(results);
  link.download = resultsName(file.name);
  const name = document.createElement('bdi');
  name.textContent = link.download;
  link.append('Descargar resultados (', name, ')');
  $('registro-descarga').replaceChildren(link);
  say(file, answer.estado === 0 ? ': todas las filas calculadas.'
    : ': hay filas sin resultado, fuera del modelo o dudosas (vea los avisos).');
  showSummary(answer);
  showNotices(answer);
  $('registro-resultados').hidden = false;
  showChart(answer).then(() => { document.body.dataset.registro = file.name; });
}

// Saves the chart as a PNG, or says why it cannot.
async function savePng() {
  sayOfChart('');
  if (!plot) {
    sayOfChart('No hay gráfico que guardar.');
    return;
  }
  const png = await chartPng(plot, chart);
  if (!png) {
    sayOfChart('No se pudo guardar la imagen: el navegador no puede hacer una imagen de este tamaño.');
    return;
  }
  const link = document.createElement('a');
  link.href = URL.createObjectURL(png);
  link.download = (shown ? shown.name.replace(/\.[^.]*$/, '') : 'registro') + '-grafico.png';
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  sayOfChart(`Imagen guardada: ${link.download}.`);
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
