// SPDX-License-Identifier: GPL-3.0-or-later
// The log view: CSV logs chosen or dropped (several as one year) are read in a worker by
// the same module (log_worker.js), with a progress bar and Cancel; then the verdict that
// leads (boilers worst first, alerts, money, the summary's download and the report), the
// results to download under each input's name, the summary as quemador1-calc gives it,
// the rows with notes, each shown in the preview when chosen, and the chart's panels.
// The main thread only shows.

import { chartPng, drawChart } from './chart.js';
import { columns, logOptions } from './names.js';

const $ = (id) => document.getElementById(id);
let worker = null;
let plots = [];
let chart = null;
let answerShown = null; // the module's answer for the files shown
let shown = null; // the files whose results are shown
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

// The consumptions the page remembers, by boiler: {kwh, precio} under the name's key.
const consumptionsKey = 'quemador-consumos';
const boilerKey = (name) => name.normalize('NFD').replace(/\p{M}/gu, '').trim().toLowerCase();
function storedConsumptions() {
  try {
    return JSON.parse(localStorage.getItem(consumptionsKey)) || {};
  } catch {
    return {};
  }
}

// The module's request: the files' names and each option by its key, from the control
// registro-<key> (a box's text, a box ticked); the unit's control names its option; the
// consumptions remembered. As JSON, a file's name with a line end or a quote is a name
// and nothing else.
function request(files) {
  const options = { nombre: files[0].name, nombres: files.map((f) => f.name) };
  for (const key of logOptions) {
    const control = $(`registro-${key}`);
    if (control) options[key] = control.type === 'checkbox' ? control.checked : control.value;
  }
  const unit = $('registro-unidad').value;
  if (unit) options[unit] = true;
  options.consumos = Object.values(storedConsumptions());
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
    name.textContent = Array.isArray(part) ? part.map((f) => f.name).join(', ') : part.name;
    return name;
  }));
}

// Reads a file, or several as one, with the options on the page.
export function openLog(chosen) {
  const files = Array.isArray(chosen) ? chosen : [chosen];
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
  say('Leyendo ', files, '…');
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
    show(files, data.respuesta, data.resultados);
  };
  worker.onerror = (event) => {
    worker = null;
    setRunning(false);
    say(`No se pudo leer el registro: ${event.message}`);
  };
  worker.postMessage({ files, request: request(files) });
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
  plots = [];
  $('grafico-png').disabled = chart.paneles.length === 0;
  $('grafico-lecturas-campo').hidden = !chart.paneles.some((p) => p.denso);
  if (chart.paneles.length === 0) {
    const none = document.createElement('p');
    none.textContent = 'Ninguna fila calculada que dibujar.';
    $('grafico').replaceChildren(none);
    return;
  }
  await loadUplot();
  plots = drawChart($('grafico'), chart, { everyReading: $('grafico-lecturas').checked });
}

function sayOfChart(text) {
  $('grafico-estado').textContent = text;
}

// A download link for bytes, named as given.
function downloadLink(id, blob, name, caption) {
  const link = document.createElement('a');
  if (id) link.id = id;
  link.href = URL.createObjectURL(blob);
  link.download = name;
  const shownName = document.createElement('bdi');
  shownName.textContent = name;
  link.append(`${caption} (`, shownName, ')');
  return link;
}

const baseName = (name) => name.replace(/\.[^.]*$/, '');

// The verdict that leads the view: the alerts, each boiler worst first, and the money.
function showVerdict(answer) {
  const verdict = answer.veredicto;
  const alerts = $('alertas');
  alerts.replaceChildren(...verdict.alertas.map((alert) => {
    const li = document.createElement('li');
    const name = document.createElement('bdi');
    name.textContent = alert.caldera || 'El registro';
    li.append(name, `: ${alert.texto}`);
    return li;
  }));
  $('alertas-nota').textContent = verdict.alertas.length ? '' : 'Ninguna alerta.';
  // The columns the verdict has figures for; a boiler with an alert marked.
  const shownColumns = (row) => row.filter((_, i) => verdict.columnas[i].mostrar);
  const table = document.createElement('table');
  table.createTHead().append(cells('th', shownColumns(verdict.columnas.map((c) => c.nombre))));
  const body = table.createTBody();
  const alerted = new Set(verdict.alertas.map((a) => a.caldera));
  for (const row of verdict.filas) {
    const tr = cells('td', shownColumns(row));
    if (alerted.has(row[0])) tr.className = 'con-alerta';
    body.append(tr);
  }
  const wrap = document.createElement('div');
  wrap.className = 'tabla';
  wrap.tabIndex = 0;
  wrap.setAttribute('role', 'region');
  wrap.setAttribute('aria-label', 'Calderas de peor a mejor');
  wrap.append(table);
  const money = document.createElement('p');
  money.className = 'nota';
  money.textContent = verdict.dinero
    ? `Ahorro al año si cada caldera llega al objetivo: ${Math.round(verdict.total_kwh)} kWh y ${Math.round(verdict.total_eur)} € en total; ${verdict.supone}.`
    : 'El ahorro en kWh y euros sale con el O2 objetivo y el consumo de cada caldera (en Consumos).';
  // Boxes of Consumos that could not be read: their boilers have no money until mended.
  if (verdict.consumos_sin_leer.length) money.textContent += ` Consumos sin leer: ${verdict.consumos_sin_leer.join(' ')}`;
  $('registro-veredicto').replaceChildren(wrap, money);
  // The summary's file, in the log's encoding and decimal mark, as quemador1-calc --resumen.
  const bytes = Uint8Array.from(atob(answer.resumen_archivo), (c) => c.charCodeAt(0));
  $('resumen-descarga').replaceChildren(downloadLink('resumen-descargar', new Blob([bytes], { type: 'text/csv' }),
    `${baseName(shown[0].name)}-resumen.csv`, 'Descargar el resumen'));
  showConsumptions(verdict.filas.map((row) => row[0]).filter((name) => name));
}

// The consumption of each boiler of the log, remembered in the browser.
function showConsumptions(boilers) {
  const stored = storedConsumptions();
  const body = $('consumos').tBodies[0];
  body.replaceChildren(...boilers.map((boiler) => {
    const tr = document.createElement('tr');
    const th = document.createElement('th');
    th.scope = 'row';
    cellText(th, boiler);
    tr.append(th);
    const known = stored[boilerKey(boiler)] || {};
    for (const [key, label] of [['kwh', 'kWh al año'], ['precio', '€ por kWh']]) {
      const input = document.createElement('input');
      input.inputMode = 'decimal';
      input.value = known[key] || '';
      input.setAttribute('aria-label', `${label} de ${boiler}`);
      input.dataset.clave = key;
      input.addEventListener('change', () => {
        const all = storedConsumptions();
        const row = all[boilerKey(boiler)] || { caldera: boiler, kwh: '', precio: '' };
        row[key] = input.value.trim();
        all[boilerKey(boiler)] = row;
        localStorage.setItem(consumptionsKey, JSON.stringify(all));
      });
      tr.insertCell().append(input);
    }
    return tr;
  }));
  $('consumos-seccion').hidden = boilers.length === 0;
}

function show(files, answer, results) {
  if (answer.error !== undefined) {
    say(`No se puede leer el registro: ${answer.error}`);
    return;
  }
  // Files that could not be read are named with why, and give no results.
  const leftOut = new Set((answer.omitidos || []).map((o) => o.indice));
  const read = files.filter((_, i) => !leftOut.has(i));
  shown = files;
  answerShown = answer;
  sayOfChart('');
  $('registro-descarga').replaceChildren(...read.map((file, i) => {
    const link = downloadLink(i === 0 ? 'descargar' : null, results[files.indexOf(file)], resultsName(file.name), 'Descargar resultados');
    const p = document.createElement('p');
    p.append(link);
    return p;
  }));
  const unread = (answer.omitidos || []).flatMap((o, i) => [i === 0 ? ' Sin leer: ' : '; ', files[o.indice], `: ${o.error}`]);
  say(read, answer.estado === 0 ? ': todas las filas calculadas.'
    : answer.estado === 2 ? ': leídos; los demás no se pudieron leer.'
      : ': hay filas sin resultado, fuera del modelo o dudosas (vea los avisos).', ...unread);
  showVerdict(answer);
  showSummary(answer);
  showNotices(answer);
  $('registro-resultados').hidden = false;
  showChart(answer).then(() => { document.body.dataset.registro = files.map((f) => f.name).join(','); });
}

// Saves the chart as a PNG, or says why it cannot.
async function savePng() {
  sayOfChart('');
  if (!plots.length) {
    sayOfChart('No hay gráfico que guardar.');
    return;
  }
  const png = await chartPng(plots, chart);
  if (!png) {
    sayOfChart('No se pudo guardar la imagen: el navegador no puede hacer una imagen de este tamaño.');
    return;
  }
  const link = document.createElement('a');
  link.href = URL.createObjectURL(png);
  link.download = (shown ? baseName(shown[0].name) : 'registro') + '-grafico.png';
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  sayOfChart(`Imagen guardada: ${link.download}.`);
}

// The report for the board, as quemador1-calc --informe writes it: the verdict, the
// alerts and the money on the first page; each boiler's panel and months after.
async function makeReport() {
  const status = $('registro-informe-estado');
  status.textContent = '';
  if (!answerShown) return;
  const answer = answerShown;
  const verdict = answer.veredicto;
  try {
    // The PDF module is loaded on the first PDF, not with the page.
    const { Layout, shareOrDownload } = await import('./pdf.js');
    const pdf = await Layout.create({ title: `Informe de eficiencia: ${chart.titulo}`, footer: chart.titulo,
      header: `Informe de eficiencia de combustión · ${chart.titulo}` });
    // Names the PDF's font cannot draw, said before the download: the log's title and
    // each boiler's name.
    const names = [['el título', chart.titulo], ...chart.paneles.map((panel) => ['la caldera', panel.titulo])];
    const missing = names.map(([what, text]) => [what, text, pdf.cannotDraw(text)]).filter(([, , chars]) => chars.length);
    const warning = missing.length ? `El PDF no puede dibujar ${missing.map(([what, text, chars]) =>
      `${chars.map((c) => `«${c}»`).join(' ')} en ${what} «${text}»`).join('; ')}: salen como «?». ` : '';
    status.textContent = warning;
    pdf.heading('Informe de eficiencia de combustión', { size: 16 });
    pdf.paragraph(chart.titulo);
    pdf.paragraph(answer.cuentas, { size: 8 });
    pdf.heading('Calderas, de peor a mejor (con alerta primero)');
    // The verdict's columns, the alert's words aside: the name wider, numbers to the right.
    const kept = verdict.columnas.map((c, i) => i).filter((i) => verdict.columnas[i].mostrar && verdict.columnas[i].id !== 'alerta');
    const share = 0.82 / (kept.length - 1);
    pdf.table(kept.map((i) => ({ title: verdict.columnas[i].nombre, share: i ? share : 0.18, align: i ? 'right' : 'left' })),
      verdict.filas.map((row) => kept.map((i) => row[i])), { size: 7 });
    pdf.heading('Alertas');
    if (!verdict.alertas.length) pdf.paragraph('Ninguna alerta.');
    for (const alert of verdict.alertas) pdf.paragraph(`• ${alert.caldera || 'El registro'}: ${alert.texto}`, { colour: [0.69, 0, 0.13] });
    pdf.heading('Ahorro al año');
    pdf.paragraph(verdict.dinero
      ? `Si cada caldera llega al objetivo: ${Math.round(verdict.total_kwh)} kWh y ${Math.round(verdict.total_eur)} € al año en total. ${verdict.supone[0].toUpperCase()}${verdict.supone.slice(1)}.`
      : 'Sin consumos de las calderas: el ahorro en kWh y euros necesita el consumo anual y el precio del kWh de cada una, y un O2 objetivo.');
    for (const [i, panel] of chart.paneles.entries()) {
      pdf.newPage();
      pdf.heading(panel.titulo, { size: 15 });
      for (const alert of panel.alertas) pdf.paragraph(`Alerta: ${alert}`, { colour: [0.69, 0, 0.13] });
      // The panel as Guardar imagen draws it, with the legend's lines.
      const png = plots[i] ? await chartPng([plots[i]], { ...chart, titulo: '', paneles: [panel] }) : null;
      if (png) await pdf.image(new Uint8Array(await png.arrayBuffer()), { width: 510 });
      const months = answer.meses.filter((m) => m.caldera === panel.caldera);
      if (months.length) {
        pdf.heading('Por mes', { size: 11 });
        pdf.table(['Mes', 'Filas', 'Bruta media (%)', 'Neta media (%)', 'Filas con aviso'].map((title, n) => ({ title, share: 0.2, align: n ? 'right' : 'left' })),
          months.map((m) => [m.mes, String(m.filas), m.bruta, m.neta, String(m.avisos)]), { size: 8 });
      }
    }
    const bytes = await pdf.bytes();
    const how = await shareOrDownload(bytes, `${baseName(shown[0].name)}-informe.pdf`, 'Informe de eficiencia');
    status.textContent = warning + (how === 'compartido' ? 'Informe compartido.' : how === 'cancelado' ? ''
      : `Informe descargado: ${baseName(shown[0].name)}-informe.pdf.`);
  } catch (error) {
    status.textContent = `No se pudo hacer el informe: ${error.message}`;
  }
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
  const chosen = () => [...$('registro-archivo').files];
  $('registro-archivo').addEventListener('change', () => chosen().length && openLog(chosen()));
  $('registro-formulario').addEventListener('submit', (event) => {
    event.preventDefault();
    if (chosen().length) openLog(chosen());
    else if (shown) openLog(shown);
    else say('Elija primero un registro CSV.');
  });
  $('consumos-aplicar').addEventListener('click', () => shown && openLog(shown));
  $('informe').addEventListener('click', makeReport);
  $('grafico-lecturas').addEventListener('change', () => {
    if (chart && chart.paneles.length && typeof uPlot !== 'undefined') plots = drawChart($('grafico'), chart, { everyReading: $('grafico-lecturas').checked });
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
    const files = [...event.dataTransfer.files];
    if (files.length) openLog(files);
  });
  window.addEventListener('resize', () => {
    for (const plot of plots) plot.setSize({ width: Math.max(280, $('grafico').clientWidth), height: plot.height });
  });
}
