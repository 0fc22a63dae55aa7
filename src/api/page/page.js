// The till's status page: reads the station's API every 2 seconds and shows
// the register, the print server, today's receipts, a chart of them per hour
// and the monitor's newest lines. Read-only: it never sends anything but GET.
// Every text that comes from the register, a file name or a receipt line goes
// into the page as text (textContent), never as markup.
'use strict';

(function () {
  const POLL_MS = 2000;
  const RECEIPT_LIMIT = 200;
  const MONITOR_KEEP = 200;
  const SVG = 'http://www.w3.org/2000/svg';

  // Each receipt state in words, with the look that repeats it.
  const STATES = {
    queued: { text: 'In coda', look: 'attesa' },
    printing: { text: 'In stampa', look: 'attesa' },
    printed: { text: 'Stampato', look: 'ok' },
    voided: { text: 'Annullato, si ristampa', look: 'attesa' },
    failed: { text: 'Non stampato', look: 'errore' },
    refused: { text: 'Rifiutato', look: 'errore' },
    open: { text: 'Lasciato aperto', look: 'attesa' },
    cancelled: { text: 'Ritirato, non stampato', look: 'attesa' },
  };
  // Each kind of document in words.
  const KINDS = {
    receipt: 'Scontrino',
    invoice: 'Fattura',
    credit_note: 'Nota di credito',
    cash_in: 'Versamento',
    cash_out: 'Prelievo',
    sales_report: 'Rapporto X',
    daily_closing: 'Chiusura Z',
    reprint_last: 'Ristampa',
    customer_display: 'Display cliente',
  };
  function kindOf(r) {
    const k = r.kind || 'receipt';
    return KINDS[k] || String(k);
  }
  // The final states the chart counts, bottom to top, with their legend.
  const FINAL = [
    { state: 'printed', text: 'Stampati' },
    { state: 'failed', text: 'Non stampati' },
    { state: 'refused', text: 'Rifiutati' },
  ];

  const $ = (id) => document.getElementById(id);

  function make(tag, className, text) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (text !== undefined && text !== null) node.textContent = String(text);
    return node;
  }

  function svg(tag, attrs, text) {
    const node = document.createElementNS(SVG, tag);
    for (const [k, v] of Object.entries(attrs || {})) node.setAttribute(k, String(v));
    if (text !== undefined) node.textContent = String(text);
    return node;
  }

  // Writes a text into an element only when it changed, so that a live
  // region speaks once per change and a selection is not lost.
  function setText(id, text) {
    const node = $(id);
    const value = text === undefined || text === null || text === '' ? '\u2014' : String(text);
    if (node.textContent !== value) node.textContent = value;
  }

  function two(n) {
    return String(n).padStart(2, '0');
  }

  // A time from the API: an ISO 8601 text or seconds (or milliseconds) since 1970.
  function toDate(value) {
    if (value === undefined || value === null || value === '') return null;
    const d = typeof value === 'number' ? new Date(value < 1e12 ? value * 1000 : value) : new Date(value);
    return Number.isNaN(d.getTime()) ? null : d;
  }

  function clock(d) {
    return d ? `${two(d.getHours())}:${two(d.getMinutes())}:${two(d.getSeconds())}` : '';
  }

  function sameDay(a, b) {
    return a.getFullYear() === b.getFullYear() && a.getMonth() === b.getMonth() && a.getDate() === b.getDate();
  }

  // An amount as the register gives it ("12.30") in Italian writing ("12,30").
  function amount(value) {
    if (value === undefined || value === null || value === '') return '';
    if (typeof value === 'number') return value.toFixed(2).replace('.', ',');
    return String(value).replace('.', ',');
  }

  function yesNo(value) {
    if (value === undefined || value === null) return '';
    return value ? 'S\u00ec' : 'No';
  }

  // Where a receipt came from: the file the print server took, or the key the
  // point-of-sale program gave to the API.
  function sourceOf(r) {
    const s = typeof r.source === 'string' ? r.source : '';
    if (s === 'api' || (!s && r.key)) return r.key ? `API ${r.key}` : 'API';
    return s;
  }

  function stateBadge(state) {
    const known = STATES[state] || { text: state || '', look: 'neutro' };
    return make('span', `esito esito-${known.look}`, known.text);
  }

  function errorText(e) {
    if (!e) return '';
    let code = e.code === undefined || e.code === null ? '' : String(e.code);
    // The register's code as it is, and the number the monitor and the log show.
    if (code && typeof e.number === 'number') code = `${code} (${e.number})`;
    const text = e.text ? String(e.text) : '';
    return code && text ? `${code} - ${text}` : code || text;
  }

  function errorWhere(e) {
    // Line 0: the answer belongs to the receipt, not to one of its lines.
    if (e.line === undefined || e.line === null || e.line === '' || e.line === 0) return '';
    return typeof e.line === 'number' ? `riga ${e.line}` : String(e.line);
  }

  async function getJson(path) {
    const answer = await fetch(path, { cache: 'no-store', headers: { Accept: 'application/json' } });
    if (!answer.ok) throw new Error(`${path}: ${answer.status}`);
    return answer.json();
  }

  // --- the register and the print server ---

  function showStatus(status) {
    const reg = status.register || {};
    const live = $('statoEcr');
    let words;
    let look;
    // Why the queue's receipts do not go to the register now, in the station's words.
    const why = reg.offline_reason && reg.offline_reason.message ? String(reg.offline_reason.message) : '';
    if (reg.online === true && !why) {
      words = 'Registratore in linea';
      look = 'ok';
    } else if (reg.online === true) {
      words = `Registratore in linea, scontrini in attesa: ${why}`;
      look = 'attesa';
    } else if (reg.online === false) {
      words = `Registratore non in linea: ${why || 'cassa spenta o cavo interrotto o velocit\u00e0 errata'}`;
      look = 'errore';
    } else {
      words = 'Stato del registratore sconosciuto';
      look = 'neutro';
    }
    if (live.textContent !== words) live.textContent = words;
    live.className = `stato esito-${look}`;
    setText('modello', reg.model);
    setText('serialeEcr', reg.serial);
    setText('firmware', reg.firmware);
    const last = reg.last_error;
    const hasError = last && ((last.code && String(last.code) !== '0') || last.text);
    setText('ultimoErrore', hasError ? errorText(last) : 'Nessuno');
    setText('scontrinoAperto', yesNo(reg.receipt_open));

    const srv = status.server || {};
    setText('serverAttivo', yesNo(srv.enabled));
    setText('serverDir', srv.folder ?? srv.dir);
    setText('serverFile', srv.mask ?? srv.file);
    const printing = srv.printing;
    if (printing && typeof printing === 'object') setText('inStampa', `S\u00ec: ${sourceOf(printing) || printing.id}`);
    else if (typeof printing === 'string' && printing) setText('inStampa', `S\u00ec: ${printing}`);
    else setText('inStampa', yesNo(printing === undefined ? undefined : Boolean(printing)));
    // While the journal cannot be written no receipt is taken: said until it passes.
    const journal = srv.journal;
    if (journal && journal.writable === false) setText('giornale', `Non scrivibile: ${journal.error || ''}`);
    else setText('giornale', journal ? 'Scrivibile' : undefined);
    // Today's daily closing, and the day's takings as last read.
    const closing = srv.closing || {};
    const at = toDate(closing.at);
    let closed;
    if (closing.done) closed = at ? `Fatta alle ${clock(at)}` : 'Fatta';
    else if (closing.problem) closed = `Non riuscita: ${closing.problem}`;
    else closed = closing.automatic ? `Non ancora (automatica alle ${closing.automatic})` : 'Non ancora';
    setText('chiusura', closed);
    const read = toDate(closing.takings_at);
    setText('incasso', closing.takings ? `${amount(closing.takings)}${read ? ` (letto alle ${clock(read)})` : ''}` : undefined);
    return srv;
  }

  function showQueue(srv, receipts) {
    // The waiting receipts of the one queue, files and API alike: the list the
    // server gives, or else those of the receipt list not yet finished.
    let waiting;
    if (Array.isArray(srv.queue)) {
      waiting = srv.queue.map((q) => (typeof q === 'string' ? { file: q, state: 'queued' } : q));
    } else {
      waiting = receipts.filter((r) => r.state === 'queued' || r.state === 'printing' || r.state === 'voided');
    }
    const count = typeof srv.queue === 'number' ? srv.queue : waiting.length;
    const table = $('coda');
    const body = table.tBodies[0];
    const sig = JSON.stringify([count, waiting]);
    if (table.dataset.sig === sig) return;
    table.dataset.sig = sig;
    body.replaceChildren();
    for (const r of waiting) {
      const tr = document.createElement('tr');
      tr.append(make('td', '', clock(toDate(r.accepted))), make('td', 'origine', sourceOf(r)));
      const td = make('td');
      td.append(stateBadge(r.state));
      tr.append(td);
      body.append(tr);
    }
    table.hidden = waiting.length === 0;
    $('codaVuota').textContent =
      count === 0 ? 'Nessuno scontrino in attesa.' : `${count} ${count === 1 ? 'scontrino' : 'scontrini'} in coda.`;
  }

  // --- today's receipts ---

  const rows = new Map(); // receipt id -> { sig, tr }

  function fillDetail(box, r) {
    box.replaceChildren();
    const lines = Array.isArray(r.lines) ? r.lines : [];
    box.append(make('p', 'dettaglio-titolo', 'Righe dello scontrino'));
    const ol = make('ol', 'righe');
    for (const line of lines) ol.append(make('li', '', line));
    if (lines.length === 0) ol.append(make('li', '', '(nessuna riga)'));
    box.append(ol);
    box.append(make('p', 'dettaglio-titolo', 'Risposte del registratore'));
    const ul = make('ul', 'risposte');
    for (const e of r.errors || []) {
      const where = errorWhere(e);
      ul.append(make('li', '', where ? `${where}: ${errorText(e)}` : errorText(e)));
    }
    for (const a of Array.isArray(r.answers) ? r.answers : []) ul.append(make('li', '', a));
    if (ul.childElementCount === 0) ul.append(make('li', '', '(nessuna)'));
    box.append(ul);
  }

  function errorsCell(r) {
    const td = make('td', 'errori');
    const errors = Array.isArray(r.errors) ? r.errors : [];
    const opens = errors.length > 0 || r.state === 'failed' || r.state === 'refused';
    if (!opens) {
      td.textContent = 'Nessuno';
      return td;
    }
    const details = document.createElement('details');
    let summary = errors.length ? errorText(errors[0]) : 'Dettagli';
    if (errors.length > 1) summary += ` (e altri ${errors.length - 1})`;
    details.append(make('summary', '', summary));
    const box = make('div', 'dettaglio');
    details.append(box);
    if (Array.isArray(r.lines)) {
      fillDetail(box, r);
    } else {
      // The list may leave the lines out: the receipt itself has them.
      box.append(make('p', '', 'Caricamento\u2026'));
      details.addEventListener('toggle', () => {
        if (!details.open || details.dataset.loaded) return;
        details.dataset.loaded = '1';
        getJson(`/api/v1/receipts/${encodeURIComponent(r.id)}`)
          .then((full) => fillDetail(box, full))
          .catch(() => {
            delete details.dataset.loaded;
            box.replaceChildren(make('p', '', 'Dettagli non disponibili.'));
          });
      });
    }
    td.append(details);
    return td;
  }

  function receiptRow(r) {
    const tr = document.createElement('tr');
    tr.dataset.id = String(r.id);
    tr.dataset.state = r.state || '';
    const when = toDate(r.finished) || toDate(r.accepted);
    const time = make('td', 'ora');
    const t = make('time', '', clock(when));
    if (when) t.dateTime = when.toISOString();
    time.append(t);
    const state = make('td', 'stato-scontrino');
    state.append(stateBadge(r.state));
    const number = r.receipt_number === undefined || r.receipt_number === null ? '' : r.receipt_number;
    tr.append(
      time,
      make('td', 'tipo', kindOf(r)),
      make('td', 'origine', sourceOf(r)),
      state,
      make('td', 'num numero', number),
      make('td', 'num totale', amount(r.total)),
      errorsCell(r),
    );
    // On a narrow screen each row stands alone, its cells named by these.
    ['Ora', 'Documento', 'Origine', 'Stato', 'Numero', 'Totale', 'Errori'].forEach((label, i) => {
      tr.cells[i].dataset.label = label;
    });
    return tr;
  }

  function receiptTime(r) {
    const d = toDate(r.accepted) || toDate(r.finished);
    return d ? d.getTime() : 0;
  }

  function todayOf(receipts, now) {
    return receipts
      .filter((r) => {
        const d = toDate(r.accepted) || toDate(r.finished);
        return !d || sameDay(d, now);
      })
      .sort((a, b) => receiptTime(b) - receiptTime(a) || String(b.id).localeCompare(String(a.id), 'en', { numeric: true }));
  }

  function showReceipts(today) {
    const table = $('elencoScontrini');
    const body = table.tBodies[0];
    const keep = new Set();
    today.forEach((r, i) => {
      const id = String(r.id);
      keep.add(id);
      const sig = JSON.stringify(r);
      let entry = rows.get(id);
      if (!entry || entry.sig !== sig) {
        const tr = receiptRow(r);
        if (entry) {
          // A receipt that changed keeps its details open.
          const was = entry.tr.querySelector('details');
          const now = tr.querySelector('details');
          if (was && now && was.open) now.open = true;
          entry.tr.replaceWith(tr);
        }
        entry = { sig, tr };
        rows.set(id, entry);
      }
      if (body.children[i] !== entry.tr) body.insertBefore(entry.tr, body.children[i] || null);
    });
    for (const [id, entry] of rows) {
      if (!keep.has(id)) {
        entry.tr.remove();
        rows.delete(id);
      }
    }
    table.hidden = today.length === 0;
    $('nessunoScontrino').hidden = today.length !== 0;
  }

  // --- the chart: today's receipts per hour by final state ---

  // How many documents of each kind today, in the order of KINDS.
  function showKinds(today) {
    const counts = new Map();
    for (const r of today) counts.set(kindOf(r), (counts.get(kindOf(r)) || 0) + 1);
    const list = $('perTipo');
    const sig = JSON.stringify([...counts]);
    if (list.dataset.sig === sig) return;
    list.dataset.sig = sig;
    list.replaceChildren(
      ...[...counts].map(([kind, n]) => {
        const li = make('li');
        li.append(make('span', 'tipo', kind), make('span', 'num', ` ${n}`));
        return li;
      }),
    );
  }

  function showChart(today) {
    const counts = Array.from({ length: 24 }, () => ({ printed: 0, failed: 0, refused: 0 }));
    for (const r of today) {
      const d = toDate(r.finished) || toDate(r.accepted);
      if (d && r.state in counts[0]) counts[d.getHours()][r.state] += 1;
    }
    const place = $('disegno');
    const sig = JSON.stringify(counts);
    if (place.dataset.sig === sig) return;
    place.dataset.sig = sig;

    const legend = $('legenda');
    if (!legend.childElementCount) {
      for (const f of FINAL) {
        const li = make('li');
        li.append(make('span', `campione campione-${f.state}`), make('span', '', f.text));
        legend.append(li);
      }
    }

    const totals = counts.map((c) => c.printed + c.failed + c.refused);
    const max = Math.max(1, ...totals);
    const step = max <= 5 ? 1 : Math.ceil(max / 5);
    const top = Math.ceil(max / step) * step;
    const left = 30;
    const bottom = 24;
    const width = 24 * 20 + left + 4;
    const height = 180;
    const plot = height - bottom - 8;
    const y = (n) => 8 + plot - (n / top) * plot;

    const words = [];
    counts.forEach((c, h) => {
      const parts = FINAL.filter((f) => c[f.state]).map((f) => `${c[f.state]} ${f.text.toLowerCase()}`);
      if (parts.length) words.push(`ore ${two(h)}: ${parts.join(', ')}`);
    });
    const summary = words.length ? `Scontrini di oggi per ora. ${words.join('; ')}.` : 'Nessuno scontrino oggi.';

    const chart = svg('svg', { viewBox: `0 0 ${width} ${height}`, role: 'img', 'aria-label': summary });
    chart.append(svg('title', {}, summary));
    const defs = svg('defs');
    for (const [name, colour] of [
      ['failed', '#c62828'],
      ['refused', '#6a1b9a'],
    ]) {
      const p = svg('pattern', {
        id: `tratteggio-${name}`,
        width: 6,
        height: 6,
        patternUnits: 'userSpaceOnUse',
        patternTransform: name === 'failed' ? 'rotate(45)' : 'rotate(-45)',
      });
      p.append(svg('rect', { width: 6, height: 6, fill: colour }));
      p.append(svg('line', { x1: 0, y1: 0, x2: 0, y2: 6, stroke: '#ffffff', 'stroke-width': 2 }));
      defs.append(p);
    }
    chart.append(defs);
    for (let n = 0; n <= top; n += step) {
      chart.append(svg('line', { class: 'griglia', x1: left, x2: width - 2, y1: y(n), y2: y(n) }));
      chart.append(svg('text', { x: left - 4, y: y(n) + 4, 'text-anchor': 'end' }, n));
    }
    chart.append(svg('line', { class: 'asse', x1: left, x2: width - 2, y1: y(0), y2: y(0) }));
    counts.forEach((c, h) => {
      const x = left + h * 20 + 3;
      let base = 0;
      for (const f of FINAL) {
        const n = c[f.state];
        if (!n) continue;
        const rect = svg('rect', { class: `barra-${f.state}`, x, width: 14, y: y(base + n), height: y(base) - y(base + n) });
        rect.append(svg('title', {}, `ore ${two(h)}: ${n} ${f.text.toLowerCase()}`));
        chart.append(rect);
        base += n;
      }
      if (h % 3 === 0) chart.append(svg('text', { x: x + 7, y: height - 8, 'text-anchor': 'middle' }, two(h)));
    });
    place.replaceChildren(chart);
  }

  // --- the monitor ---

  let monitorNext = 0;

  function showMonitor(answer) {
    const list = Array.isArray(answer) ? answer : answer.lines || [];
    const next = Array.isArray(answer) ? undefined : answer.next ?? answer.last;
    const ol = $('righeMonitor');
    if (typeof next === 'number' && next < monitorNext) {
      // The station started again: its lines count from the start.
      ol.replaceChildren();
    }
    const entries = list.map((x, i) =>
      typeof x === 'string' ? { seq: monitorNext + i + 1, text: x } : { seq: x.seq ?? x.id ?? x.n, text: x.text ?? x.line ?? '' },
    );
    entries.sort((a, b) => (a.seq ?? 0) - (b.seq ?? 0));
    for (const e of entries) {
      const li = make('li', '', e.text);
      if (e.text.startsWith('ECR-errore')) li.className = 'errore-ecr';
      else if (e.text.startsWith('ECR')) li.className = 'da-ecr';
      if (typeof e.seq === 'number') li.value = e.seq;
      ol.prepend(li);
    }
    while (ol.childElementCount > MONITOR_KEEP) ol.lastElementChild.remove();
    if (typeof next === 'number') monitorNext = next;
    else if (entries.length && typeof entries[entries.length - 1].seq === 'number') monitorNext = entries[entries.length - 1].seq;
    $('monitorVuoto').hidden = ol.childElementCount !== 0;
  }

  // --- the till's other registers: a link to each one's page ---

  function showRegisters(answer) {
    const list = (answer && Array.isArray(answer.registers)) ? answer.registers : [];
    const nav = $('registri');
    const sig = JSON.stringify(list);
    if (nav.dataset.sig === sig) return;
    nav.dataset.sig = sig;
    nav.hidden = list.length < 2;
    nav.firstElementChild.replaceChildren(
      ...list.map((r) => {
        const li = make('li');
        const words = `${r.name}${r.serial ? ` (${r.serial})` : ''}${r.online ? '' : ' \u2014 non in linea'}`;
        if (r.self) {
          const here = make('strong', '', words);
          here.setAttribute('aria-current', 'page');
          li.append(here);
        } else if (/^http:\/\/[^/]+\/$/.test(String(r.url))) {
          const a = make('a', '', words);
          a.href = String(r.url);
          li.append(a);
        } else {
          li.append(make('span', '', words));
        }
        return li;
      }),
    );
  }

  // --- the round every 2 seconds ---

  async function round() {
    const now = new Date();
    try {
      // Both asked at once; the register is shown as soon as its answer is in.
      const receiptsAnswer = getJson(`/api/v1/receipts?limit=${RECEIPT_LIMIT}`);
      receiptsAnswer.catch(() => {});
      const srv = showStatus(await getJson('/api/v1/status'));
      const receipts = await receiptsAnswer;
      const list = Array.isArray(receipts) ? receipts : receipts.receipts || [];
      const today = todayOf(list, now);
      showQueue(srv, list);
      showReceipts(today);
      showChart(today);
      showKinds(today);
      showMonitor(await getJson(`/api/v1/monitor?since=${monitorNext}`));
      showRegisters(await getJson('/api/v1/registers').catch(() => null));
      $('collegamento').hidden = true;
      setText('aggiornato', `Aggiornato alle ${clock(now)}`);
    } catch (err) {
      const banner = $('collegamento');
      const text = `NorvVelm non risponde (${location.host}): i dati qui sotto sono dell'ultimo aggiornamento riuscito.`;
      if (banner.textContent !== text) banner.textContent = text;
      banner.hidden = false;
    } finally {
      setTimeout(round, POLL_MS);
    }
  }

  round();
})();
