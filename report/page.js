'use strict';
// The archive page's behaviour: filters, sorting, and each file's details,
// drawn on demand from the embedded lines. Every text from a file goes in
// through textContent or an attribute value, never as markup.
(function () {
  const doc = document;
  const SVG = 'http://www.w3.org/2000/svg';
  doc.documentElement.classList.add('js');

  const table = doc.getElementById('file-table');
  const tbody = table.tBodies[0];
  const rows = Array.from(tbody.rows);
  const paths = rows.map((r) => r.dataset.file.toLowerCase());
  const columns = table.tHead.rows[0].cells.length;
  const filterBox = doc.getElementById('filter');
  const invalidOnly = doc.getElementById('invalid-only');
  const hasWarnings = doc.getElementById('has-warnings');
  const shownCount = doc.getElementById('shown-count');
  const ruleChip = doc.getElementById('rule-chip');
  const details = new Map();  // row -> its detail row, once drawn
  let ruleFilter = '';
  let data = null;
  let states = null;

  function el(tag, text, cls) {
    const e = doc.createElement(tag);
    if (text !== undefined && text !== null) e.textContent = String(text);
    if (cls) e.className = cls;
    return e;
  }
  function svg(tag, attrs) {
    const e = doc.createElementNS(SVG, tag);
    for (const k in attrs) e.setAttribute(k, attrs[k]);
    return e;
  }

  // The lines are stored with every distinct value once; a file's object is
  // rebuilt from its root node.
  function load() {
    if (!data) {
      data = JSON.parse(doc.getElementById('vellicor-data').textContent);
      states = JSON.parse(doc.getElementById('vellicor-states').textContent);
    }
    return data;
  }
  function node(i) {
    const v = data.nodes[i];
    if (!Array.isArray(v)) return v;
    if (v[0] === -2) {
      let s = '';
      for (let k = 1; k < v.length; k += 2) s += v[k].repeat(v[k + 1]);
      return s;
    }
    if (v[0] < 0) return v.slice(1).map(node);
    const keys = data.shapes[v[0]];
    const o = {};
    for (let k = 0; k < keys.length; k++) o[keys[k]] = node(v[k + 1]);
    return o;
  }
  function fileObject(n) {
    load();
    return node(data.files[n]);
  }

  // ---- filters ----
  function applyFilters() {
    const text = filterBox.value.trim().toLowerCase();
    const needle = ' ' + ruleFilter + ' ';
    let shown = 0;
    for (let i = 0; i < rows.length; i++) {
      const r = rows[i];
      const d = r.dataset;
      const ok = (!text || paths[i].includes(text)) &&
        (!invalidOnly.checked || d.status !== 'valid') &&
        (!hasWarnings.checked || Number(d.warnings) > 0) &&
        (!ruleFilter || d.rules.includes(needle));
      r.hidden = !ok;
      const det = details.get(r);
      if (det) det.hidden = !ok || r.getAttribute('aria-expanded') !== 'true';
      if (ok) shown++;
    }
    shownCount.textContent = shown === rows.length
      ? rows.length + (rows.length === 1 ? ' file' : ' files')
      : shown + ' of ' + rows.length + ' files shown';
  }
  let pending = 0;
  function scheduleFilters() {
    if (!pending) pending = requestAnimationFrame(() => { pending = 0; applyFilters(); });
  }
  filterBox.addEventListener('input', scheduleFilters);
  invalidOnly.addEventListener('change', applyFilters);
  hasWarnings.addEventListener('change', applyFilters);

  function setRule(id) {
    ruleFilter = ruleFilter === id ? '' : id;
    for (const tr of doc.querySelectorAll('tr[data-rule]')) {
      const on = tr.dataset.rule === ruleFilter;
      tr.classList.toggle('active', on);
      tr.querySelector('button').setAttribute('aria-pressed', on ? 'true' : 'false');
    }
    ruleChip.textContent = '';
    ruleChip.hidden = !ruleFilter;
    if (ruleFilter) {
      ruleChip.append('rule ' + ruleFilter);
      const clear = el('button', '\u00d7');
      clear.type = 'button';
      clear.setAttribute('aria-label', 'Show files of every rule');
      clear.addEventListener('click', () => setRule(ruleFilter));
      ruleChip.append(clear);
    }
    applyFilters();
  }
  for (const b of doc.querySelectorAll('button.rule'))
    b.addEventListener('click', () => setRule(b.closest('tr').dataset.rule));

  // ---- sorting ----
  const statusOrder = { invalid: 0, unread: 1, valid: 2 };
  const sortKeys = {
    file: (r) => r.dataset.file,
    format: (r) => r.dataset.format,
    status: (r) => statusOrder[r.dataset.status],
    errors: (r) => Number(r.dataset.errors),
    warnings: (r) => Number(r.dataset.warnings),
    usable: (r) => Number(r.dataset.usable),
  };
  function sortBy(th) {
    const key = sortKeys[th.dataset.key];
    const dir = th.getAttribute('aria-sort') === 'ascending' ? -1 : 1;
    for (const other of table.tHead.rows[0].cells) other.removeAttribute('aria-sort');
    th.setAttribute('aria-sort', dir > 0 ? 'ascending' : 'descending');
    const order = rows.map((r, i) => [key(r), i]);
    order.sort((a, b) => (a[0] < b[0] ? -dir : a[0] > b[0] ? dir : a[1] - b[1]));
    const frag = doc.createDocumentFragment();
    for (const [, i] of order) {
      frag.append(rows[i]);
      const det = details.get(rows[i]);
      if (det) frag.append(det);
    }
    tbody.append(frag);
  }
  for (const th of table.tHead.rows[0].cells)
    th.querySelector('button').addEventListener('click', () => sortBy(th));

  // ---- details ----
  // As the text report says it: "data record 3, signal 2 (EEG)"; a header
  // field's name after its place.
  function whereText(w, f) {
    if (!w) return '';
    const signal = () => {
      const s = (f.signals || [])[w.signal - 1];
      return 'signal ' + w.signal + (s ? ' (' + s.label + ')' : '');
    };
    const parts = [];
    if (w.kind === 'data record' || w.kind === 'annotation') {
      parts.push((w.kind === 'annotation' ? 'annotation, ' : '') + 'data record' +
                 (w.record !== undefined ? ' ' + w.record : ''));
      if (w.signal !== undefined) parts.push(signal());
    } else if (w.kind === 'signal header' && w.signal !== undefined) {
      parts.push(signal());
    } else {
      parts.push(w.kind);
    }
    if (w.field !== undefined) parts.push(w.field);
    return parts.join(', ');
  }
  function byteText(n) {
    return n === null || n === undefined ? '' : Number(n).toLocaleString('en-US');
  }
  function findingsPart(f, box) {
    const list = f.findings || [];
    box.append(el('h3', 'Findings (' + list.length + ' listed)'));
    if (!list.length) {
      box.append(el('p', 'No findings.', 'none'));
    } else {
      const t = el('table', null, 'findings');
      const head = t.createTHead().insertRow();
      for (const h of ['severity', 'rule', 'where', 'byte', 'what was found']) head.append(el('th', h));
      const body = t.createTBody();
      for (const x of list) {
        const tr = body.insertRow();
        tr.append(el('td', x.severity, 'sev sev-' + x.severity), el('td', x.rule), el('td', whereText(x.where, f)),
          el('td', byteText(x.offset), 'num'), el('td', x.message));
      }
      box.append(t);
    }
    // Rules with more findings than the line lists.
    for (const k in f) {
      const totals = f[k] && f[k].totals;
      if (!totals || typeof totals !== 'object') continue;
      for (const rule in totals) {
        const c = totals[rule];
        if (c.total > c.listed) box.append(el('p', '[' + rule + '] ' + c.total + ' findings in all, ' + c.listed + ' listed'));
      }
    }
  }
  // A field withheld by --privacy holds its length in the text's place.
  function fieldCell(field) {
    const n = field.shownLength;
    const td = field.shown === undefined && typeof n === 'number'
      ? el('td', '(' + n + (n === 1 ? ' byte' : ' bytes') + ' withheld)', 'withheld')
      : el('td', field.shown);
    if (field.mark === 'error' || field.mark === 'warning') td.classList.add('mark-' + field.mark);
    if (field.reason) td.title = field.reason;
    return td;
  }
  function headerPart(f, box) {
    if (!f.general) return;
    box.append(el('h3', 'General header'));
    const t = el('table', null, 'general');
    const body = t.createTBody();
    for (const field of f.general) {
      const tr = body.insertRow();
      tr.append(el('th', field.name), fieldCell(field), el('td', field.reason));
    }
    box.append(t);
    const sigs = f.signals || [];
    if (!sigs.length) return;
    box.append(el('h3', 'Signal headers'));
    const wrap = el('div', null, 'signals');
    const st = el('table');
    const head = st.createTHead().insertRow();
    head.append(el('th', '#'));
    for (const field of sigs[0].fields) head.append(el('th', field.name));
    head.append(el('th', 'remark'));
    const body2 = st.createTBody();
    for (const s of sigs) {
      const tr = body2.insertRow();
      tr.append(el('td', s.index, 'num'));
      for (const field of s.fields) tr.append(fieldCell(field));
      tr.append(el('td', s.calibrationRemark));
    }
    wrap.append(st);
    box.append(wrap);
    const remarks = f.remarks || {};
    for (const k of ['dataBlock', 'sampleRecDuration', 'nrDataRecords'])
      if (remarks[k]) box.append(el('p', remarks[k]));
  }
  function minmaxPart(f, box) {
    if (f.minmaxError) box.append(el('p', f.minmaxError, 'error'));
    if (!f.minmax) return;
    box.append(el('h3', 'Digital min/max'));
    box.append(el('pre', f.minmax.join('').replace(/\r\n/g, '\n'), 'minmax'));
  }

  // ---- quality map ----
  // Seconds of the day the recording started at, from StartTime "hh.mm.ss".
  function startSeconds(f) {
    const field = (f.general || []).find((g) => g.name === 'StartTime');
    const m = field && /^(\d\d)\.(\d\d)\.(\d\d)$/.exec(field.shown);
    return m ? Number(m[1]) * 3600 + Number(m[2]) * 60 + Number(m[3]) : null;
  }
  function clock(start, t) {
    const two = (n) => String(n).padStart(2, '0');
    if (start === null) {
      const s = Math.round(t);
      return '+' + Math.floor(s / 3600) + ':' + two(Math.floor(s / 60) % 60) + ':' + two(s % 60);
    }
    const s = Math.round(start + t) % 86400;
    return two(Math.floor(s / 3600)) + ':' + two(Math.floor(s / 60) % 60) + ':' + two(s % 60);
  }
  function swatch(colour) {
    const s = svg('svg', { width: 12, height: 12, 'aria-hidden': 'true' });
    s.append(svg('rect', { width: 12, height: 12, fill: colour, stroke: '#666', 'stroke-width': 0.5 }));
    return s;
  }
  function qualityPart(f, box) {
    const q = f.quality;
    if (!q || !Array.isArray(q.signals)) return;
    box.append(el('h3', 'Signal quality (epochs of ' + q.epochSeconds + ' s)'));
    const epochSeconds = Number(q.epochSeconds) || 30;
    const epochs = Math.max(1, ...q.signals.map((s) => String(s.map || '').length));
    const byLetter = new Map(states.map((s) => [s.letter, s]));
    const start = startSeconds(f);
    const map = el('div', null, 'qmap');
    const rowHeight = 16;
    for (const s of q.signals) {
      const usable = s.judged && typeof s.usableShare === 'number'
        ? ' \u00b7 ' + Math.floor(s.usableShare * 100 + 1e-9) + ' %' : '';
      const label = el('div', s.index + ' ' + s.label + usable, 'qlabel');
      label.title = s.label;
      const cells = svg('svg', { class: 'cells', viewBox: '0 0 ' + epochs + ' 1', preserveAspectRatio: 'none',
        height: rowHeight, role: 'img', 'aria-label': 'signal ' + s.index + ' ' + s.label });
      const m = String(s.map || '');
      // One rectangle per run of equal epochs, its title saying what and when.
      for (let a = 0; a < m.length;) {
        let b = a;
        while (b + 1 < m.length && m[b + 1] === m[a]) b++;
        const state = byLetter.get(m[a]) || { colour: '#ffffff', label: 'unknown (' + m[a] + ')' };
        const rect = svg('rect', { x: a, y: 0.08, width: b - a + 1, height: 0.84, fill: state.colour,
          'data-state': m[a] });
        const span = a === b ? 'epoch ' + (a + 1) : 'epochs ' + (a + 1) + '\u2013' + (b + 1);
        rect.append(svg('title', {}));
        rect.firstChild.textContent = 'signal ' + s.index + ' (' + s.label + '), ' + span + ', ' +
          clock(start, a * epochSeconds) + '\u2013' + clock(start, (b + 1) * epochSeconds) + ': ' + state.label;
        cells.append(rect);
        a = b + 1;
      }
      map.append(label, cells);
    }
    // Clock time below the map: a step that gives at most eight marks.
    const span = epochs * epochSeconds;
    const steps = [60, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400];
    const step = steps.find((x) => span / x <= 8) || Math.ceil(span / 8);
    const axis = el('div', null, 'qaxis');
    const offset = start === null ? 0 : (step - (start % step)) % step;
    for (let t = offset; t <= span; t += step) {
      const mark = el('span', clock(start, t));
      mark.style.left = (100 * t / span) + '%';
      axis.append(mark);
    }
    map.append(el('div'), axis);
    box.append(map);
    const legend = el('div', null, 'qlegend');
    for (const s of states) {
      const item = el('span');
      item.append(swatch(s.colour), s.label);
      legend.append(item);
    }
    box.append(legend);
  }

  function drawDetail(row) {
    const f = fileObject(Number(row.dataset.n));
    const tr = el('tr', null, 'detail');
    const td = tr.insertCell();
    td.colSpan = columns;
    const box = el('div');
    if (f.error) box.append(el('p', f.error, 'error'));
    if (f.verdict) box.append(el('p', f.verdict + (f.format ? ' (' + f.format + ')' : '')));
    if (f.valid !== undefined) findingsPart(f, box);
    if (f.conformance && f.conformance.scope) box.append(el('p', 'conformance: ' + f.conformance.scope));
    if (f.privacy && f.privacy.scope) box.append(el('p', 'privacy: ' + f.privacy.scope));
    minmaxPart(f, box);
    qualityPart(f, box);
    headerPart(f, box);
    td.append(box);
    return tr;
  }
  function setOpen(row, open) {
    let det = details.get(row);
    if (open && !det) {
      det = drawDetail(row);
      row.after(det);
      details.set(row, det);
    }
    row.setAttribute('aria-expanded', open ? 'true' : 'false');
    row.querySelector('button.toggle').setAttribute('aria-expanded', open ? 'true' : 'false');
    if (det) det.hidden = !open || row.hidden;
  }
  tbody.addEventListener('click', (e) => {
    const b = e.target.closest('button.toggle');
    if (!b) return;
    const row = b.closest('tr');
    setOpen(row, row.getAttribute('aria-expanded') !== 'true');
  });

  // Printing expands the failing files among those shown, then restores.
  let printed = [];
  window.addEventListener('beforeprint', () => {
    printed = rows.filter((r) => !r.hidden && r.dataset.status !== 'valid' && r.getAttribute('aria-expanded') !== 'true');
    for (const r of printed) setOpen(r, true);
  });
  window.addEventListener('afterprint', () => {
    for (const r of printed) setOpen(r, false);
    printed = [];
  });

  // A link to page.html#file=PATH opens that file's details.
  function openFromHash() {
    const m = /^#file=(.*)$/.exec(location.hash);
    if (!m) return;
    let path;
    try {
      path = decodeURIComponent(m[1]);
    } catch (e) {
      return;
    }
    const row = rows.find((r) => r.dataset.file === path);
    if (!row) return;
    setOpen(row, true);
    row.scrollIntoView({ block: 'nearest' });
  }
  window.addEventListener('hashchange', openFromHash);

  applyFilters();
  openFromHash();
})();
