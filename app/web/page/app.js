// Lumetra's window: every action goes to the running host, which answers with the same
// sentences as the terminal. The page keeps no data of its own; it reads again whenever the
// host's revision changes, so changes made elsewhere show within a second or two.
'use strict';

const $ = (id) => document.getElementById(id);

// --- Talking to the host ---

class Refused extends Error {}

let restarted = false;

async function post(path, body) {
  let response;
  try {
    response = await fetch(path, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(body),
      credentials: 'same-origin',
    });
  } catch {
    throw new Refused('Lumetra isn’t answering. Is it still running?');
  }
  if (response.status === 401) {
    hostRestarted();
    throw new Refused(await response.text());
  }
  // The server's own refusals (too large, too slow) come as a sentence, not JSON.
  if (!(response.headers.get('Content-Type') || '').startsWith('application/json')) {
    throw new Refused((await response.text()).trim());
  }
  const reply = await response.json();
  if (!reply.ok) throw new Refused(reply.error ? reply.error.message : 'Lumetra refused without saying why.');
  return reply;
}

const control = (command, fields = {}) => post('/api/control', { version: 1, command, ...fields });
const menu = (action, fields = {}) => post('/api/menu', { action, ...fields });

function hostRestarted() {
  if (restarted) return;
  restarted = true;
  say('This window belongs to an earlier start of Lumetra. Run “lumetra-app open” to open it again.', true);
}

// One line at the top: what the last action did, or why it was refused.
function say(text, isError = false) {
  const notice = $('notice');
  notice.textContent = text;
  notice.classList.toggle('error', isError);
  notice.hidden = !text;
}

// Runs an action from a button: its sentence on success, its refusal otherwise.
async function act(work) {
  try {
    const reply = await work();
    if (reply && reply.text) say(reply.text);
    await refresh();
    return reply;
  } catch (error) {
    say(error.message, true);
    return null;
  }
}

// --- Times ---

const pad = (n) => String(n).padStart(2, '0');

// As the terminal writes them: "0m" to "59m", then "1h 05m", minutes rounded half up. The
// running clock alone shows seconds.
function duration(seconds, withSeconds = false) {
  if (withSeconds) {
    const s = Math.max(0, Math.floor(seconds));
    return `${Math.floor(s / 3600)}:${pad(Math.floor((s % 3600) / 60))}:${pad(s % 60)}`;
  }
  const minutes = Math.round(Math.max(0, seconds) / 60);
  return minutes < 60 ? `${minutes}m` : `${Math.floor(minutes / 60)}h ${pad(minutes % 60)}m`;
}

const clock = (time) => new Date(time).toLocaleTimeString([], { hour: '2-digit', minute: '2-digit', hourCycle: 'h23' });
const dayKey = (date) => `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())}`;
const localInput = (iso) => {
  const d = new Date(iso);
  return `${dayKey(d)}T${pad(d.getHours())}:${pad(d.getMinutes())}`;
};
// A datetime-local value as the host's ISO 8601 time; the page and the host share the machine's zone.
const iso = (date) => date.toISOString().replace(/\.\d{3}Z$/, 'Z');
const isoOf = (value) => iso(new Date(value));
const dayStart = (key) => {
  const [y, m, d] = key.split('-').map(Number);
  return new Date(y, m - 1, d);
};
const addDays = (date, days) => new Date(date.getFullYear(), date.getMonth(), date.getDate() + days);

// --- Colours: each project keeps its own across views, by its id ---

const palette = ['#3b82c4', '#e09f3e', '#5a9e6f', '#c65d7b', '#8a6fc1', '#2a9d8f', '#d1603d', '#7c8a99'];
const projectIndex = (name) => {
  const project = projects.find((p) => p.name === name);
  return project ? project.id : 0;
};
const colour = (name) => palette[projectIndex(name) % palette.length];

function element(tag, properties = {}, ...children) {
  const node = document.createElement(tag);
  for (const [key, value] of Object.entries(properties)) {
    if (key === 'dataset') Object.assign(node.dataset, value);
    else if (key.startsWith('on')) node.addEventListener(key.slice(2), value);
    else node[key] = value;
  }
  node.append(...children);
  return node;
}

function swatch(name) {
  const mark = element('span', { className: 'swatch' });
  mark.style.background = colour(name);
  return mark;
}

function totalsList(list, rows) {
  list.replaceChildren(
    ...rows.map((row) =>
      element('li', {}, element('span', {}, swatch(row.project), row.project + (row.running ? ' (running)' : '')),
        element('span', { className: 'seconds' }, duration(row.seconds)))));
  if (!rows.length) list.replaceChildren(element('li', { className: 'quiet' }, 'Nothing yet.'));
}

// --- State ---

let status = null;
let projects = [];
let view = 'now';
let day = dayKey(new Date());
let revision = null;

async function loadProjects() {
  const reply = await menu('projects', { all: true });
  projects = reply.result.projects;
  const active = projects.filter((p) => !p.archived);
  // Nothing to start yet.
  $('no-projects').textContent = projects.length ? 'Every project is archived. Unarchive one, or add one, under Projects.'
    : 'No projects yet. Add one under Projects.';
  $('no-projects').hidden = active.length > 0;
  $('start').disabled = active.length === 0;
  $('project-empty').textContent = reply.text;
  $('project-empty').hidden = projects.length > 0;
  for (const select of [$('start-project'), $('session-project')]) {
    const chosen = select.value;
    select.replaceChildren(...active.map((p) => element('option', { value: p.name, textContent: p.name })));
    if (active.some((p) => p.name === chosen)) select.value = chosen;
  }
}

// --- Now ---

async function loadNow() {
  status = (await control('status')).result;
  const current = status.current;
  $('running-on').hidden = !current;
  $('running-off').hidden = !!current;
  if (current) {
    $('running-project').textContent = current.project;
    const field = $('running-description');
    if (document.activeElement !== field) field.value = current.description || '';
  }
  $('start').textContent = current ? 'Switch' : 'Start';
  // One description at a time: the running session's while it runs, the next one's otherwise.
  $('start-description-label').hidden = !!current;
  const last = status.last_session;
  $('resume').hidden = !last;
  if (last) $('resume').textContent = `Resume “${last.project}”`;
  tick();

  // The running session counts in Today from its first second, marked as in This week.
  const today = status.today.map((row) => ({ ...row, running: !!current && row.project_id === current.project_id }));
  if (current && !today.some((row) => row.running)) today.push({ project: current.project, seconds: 0, running: true });
  totalsList($('today-list'), today);
  $('today-total').textContent = duration(status.today_seconds);

  // Sessions running on other computers, when this one syncs.
  const sync = (await menu('sync-status')).result;
  const running = sync.computers.filter((c) => c.running && !c.forgotten);
  $('elsewhere').replaceChildren(...running.map((c) => {
    const [project, since] = c.running.split(' since ');
    return element('li', {}, swatch(project), `${project} on ${c.name} since ${since}`);
  }));
  $('elsewhere').hidden = running.length === 0;

  const week = (await menu('report', { range: 'This Week', by: 'day' })).result;
  totalsList($('week-list'), week.projects);
  $('week-total').textContent = duration(week.seconds);
  drawWeek(week);
}

// From the session's start by this machine's clock, which the host shares.
function tick() {
  if (!status || !status.current) return;
  const seconds = (Date.now() - Date.parse(status.current.start)) / 1000;
  $('elapsed').textContent = duration(seconds, true);
}

// An SVG drawing of the given size, and the one way shapes are added to it (or to a shape).
function drawing(width, height, label) {
  const ns = 'http://www.w3.org/2000/svg';
  const svg = document.createElementNS(ns, 'svg');
  svg.setAttribute('viewBox', `0 0 ${width} ${height}`);
  svg.setAttribute('role', 'img');
  svg.setAttribute('aria-label', label);
  const add = (tag, attributes, text, parent = svg) => {
    const node = document.createElementNS(ns, tag);
    for (const [k, v] of Object.entries(attributes)) node.setAttribute(k, v);
    if (text !== undefined) node.textContent = text;
    parent.append(node);
    return node;
  };
  return { svg, add };
}

// Seven days from the week's first (the host knows the locale's), bars stacked by project.
function drawWeek(week) {
  const first = new Date(week.from);
  const days = [...Array(7).keys()].map((i) => addDays(first, i));
  const byDay = new Map(week.groups.map((g) => [g.label, g.projects]));
  const totals = days.map((d) => (byDay.get(dayKey(d)) || []).reduce((sum, p) => sum + p.seconds, 0));
  const hours = Math.max(1, Math.ceil(Math.max(...totals) / 3600));
  // On a narrow screen the drawing is narrower, so its labels keep their size.
  const narrow = document.documentElement.clientWidth <= 640;
  const width = narrow ? 360 : 700, height = 220, left = 34, bottom = 30, top = 10;
  const plot = height - bottom - top;
  const column = (width - left) / 7;
  const { svg, add } = drawing(width, height, 'Hours per day this week');
  const step = hours <= 4 ? 1 : hours <= 10 ? 2 : 4;
  for (let h = 0; h <= hours; h += step) {
    const y = top + plot - (h / hours) * plot;
    add('line', { x1: left, x2: width, y1: y, y2: y });
    add('text', { x: left - 6, y: y + 4, 'text-anchor': 'end' }, `${h}h`);
  }
  const today = dayKey(new Date());
  days.forEach((d, i) => {
    let y = top + plot;
    const stack = [...(byDay.get(dayKey(d)) || [])].sort((a, b) => projectIndex(a.project) - projectIndex(b.project));
    for (const p of stack) {
      const h = (p.seconds / 3600 / hours) * plot;
      y -= h;
      const bar = add('rect', { x: left + i * column + column * 0.2, y, width: column * 0.6, height: Math.max(h, 0), rx: 2, fill: colour(p.project) });
      add('title', {}, `${p.project}: ${duration(p.seconds)}`, bar);
    }
    const name = d.toLocaleDateString([], narrow ? { weekday: 'short' } : { weekday: 'short', day: 'numeric' });
    add('text', { x: left + i * column + column / 2, y: height - 10, 'text-anchor': 'middle',
                  class: dayKey(d) === today ? 'today-label' : '' }, name);
  });
  $('week-chart').replaceChildren(svg);
  $('week-legend').replaceChildren(...week.projects.map((p) => element('li', {}, swatch(p.project), p.project)));
}

// --- Sessions of a day ---

async function loadDay() {
  $('day-date').value = day;
  const from = dayStart(day);
  const reply = await control('sessions', { since: iso(from), until: iso(addDays(from, 1)) });
  const sessions = reply.result.sessions;
  let total = 0;
  const rows = sessions.map((s) => {
    total += s.duration_seconds;
    const times = `${clock(s.start)} – ${s.end ? clock(s.end) : 'now'}`;
    const entry = s.entry !== 'tracked' ? element('span', { className: 'tag' }, s.entry) : '';
    const merge = element('button', { type: 'button', className: 'small merge', textContent: 'Merge', hidden: true,
                                      onclick: () => mergeSession(s) });
    const actions = rowMenu([
      element('button', { type: 'button', className: 'small', textContent: 'Edit', onclick: () => editSession(s) }),
      element('button', { type: 'button', className: 'small', textContent: 'Split', onclick: () => splitSession(s) }),
      merge,
      element('button', { type: 'button', className: 'small danger', textContent: 'Delete', onclick: () => deleteSession(s) }),
    ]);
    return element('tr', { className: s.running ? 'running' : '', dataset: { id: s.id } },
      element('td', { className: 'time' }, times),
      element('td', { className: 'project' }, swatch(s.project), s.project + (s.running ? ' (running)' : ''), entry,
        element('span', { className: 'description' }, s.description || '')),
      element('td', { className: 'description-cell' }, s.description || ''),
      element('td', { className: 'number' }, duration(s.duration_seconds)),
      element('td', { className: 'actions' }, ...actions));
  });
  $('day-sessions').replaceChildren(...rows);
  // Merge only where the host would merge: a neighbour of the same project close enough.
  await Promise.all(sessions.map(async (s, i) => {
    const found = (await menu('session-neighbours', { id: s.id })).result;
    const button = rows[i].querySelector('button.merge');
    if (button) button.hidden = !found.previous && !found.next;
  }));
  $('day-empty').hidden = sessions.length > 0;
  $('day-table').hidden = sessions.length === 0;
  $('day-total').textContent = sessions.length ? duration(total) : '';
}

// A row's actions: side by side where there is room, behind one button on a narrow screen.
function rowMenu(buttons) {
  const menuBox = element('div', { className: 'row-menu' }, ...buttons);
  const toggle = element('button', {
    type: 'button', className: 'small row-menu-toggle', textContent: '⋯', ariaLabel: 'Actions', ariaExpanded: 'false',
    onclick: (event) => {
      event.stopPropagation();
      const opening = !menuBox.classList.contains('open');
      closeRowMenus();
      menuBox.classList.toggle('open', opening);
      toggle.ariaExpanded = String(opening);
    },
  });
  for (const button of buttons) button.addEventListener('click', closeRowMenus);
  return [toggle, menuBox];
}

function closeRowMenus() {
  for (const open of document.querySelectorAll('.row-menu.open')) open.classList.remove('open');
  for (const toggle of document.querySelectorAll('.row-menu-toggle')) toggle.ariaExpanded = 'false';
}

function open(dialogId, errorId) {
  $(errorId).hidden = true;
  $(dialogId).showModal();
}

function refuseIn(errorId, error) {
  $(errorId).textContent = error.message;
  $(errorId).hidden = false;
}

// Runs a dialog's action: closes it and says what happened, or shows the refusal in it.
async function submit(dialogId, errorId, work) {
  try {
    const reply = await work();
    $(dialogId).close();
    if (reply && reply.text) say(reply.text);
    await refresh();
  } catch (error) {
    refuseIn(errorId, error);
  }
}

let editing = null;

function editSession(session) {
  editing = session;
  $('session-title').textContent = session ? `Session ${session.id}` : 'Add a session';
  const select = $('session-project');
  if (session && ![...select.options].some((o) => o.value === session.project)) {
    select.append(element('option', { value: session.project, textContent: session.project }));
  }
  select.value = session ? session.project : $('start-project').value;
  if (session) {
    $('session-start').value = localInput(session.start);
    $('session-end').value = session.end ? localInput(session.end) : '';
  } else {
    // The hour before now's clock time on the shown day, kept inside that day.
    const now = new Date();
    const from = dayStart(day);
    const end = new Date(from.getFullYear(), from.getMonth(), from.getDate(), now.getHours(), now.getMinutes());
    const start = new Date(Math.max(from.getTime(), end.getTime() - 3600e3));
    $('session-start').value = localInput(iso(start));
    $('session-end').value = localInput(iso(end.getTime() > start.getTime() ? end : new Date(start.getTime() + 3600e3)));
  }
  $('session-end').disabled = !!(session && session.running);
  $('session-end').required = !session;
  $('session-description').value = session ? session.description || '' : '';
  open('session-dialog', 'session-error');
}

function saveSession() {
  const s = editing;
  const project = $('session-project').value;
  const start = isoOf($('session-start').value);
  const end = $('session-end').value ? isoOf($('session-end').value) : null;
  const description = $('session-description').value;
  return submit('session-dialog', 'session-error', async () => {
    if (!s) return menu('session-add', { project, start, end, description: description || null });
    const changes = {};
    if (project !== s.project) changes.project = project;
    if (start !== s.start) changes.start = start;
    if (end && end !== s.end) changes.end = end;
    let reply = null;
    if (Object.keys(changes).length) reply = await menu('session-edit', { id: s.id, ...changes });
    if (description !== (s.description || '')) reply = await control('describe', { session_id: s.id, description });
    return reply;
  });
}

let splitting = null;

function splitSession(session) {
  splitting = session;
  $('split-what').textContent = `${session.project}, ${clock(session.start)} – ${session.end ? clock(session.end) : 'now'}`;
  const middle = new Date((new Date(session.start).getTime() + new Date(session.end || Date.now()).getTime()) / 2);
  $('split-at').value = localInput(iso(middle));
  open('split-dialog', 'split-error');
}

function saveSplit() {
  return submit('split-dialog', 'split-error',
    () => menu('session-split', { id: splitting.id, at: isoOf($('split-at').value) }));
}

async function mergeSession(session) {
  const buttons = $('merge-buttons');
  buttons.querySelectorAll('.merge-with').forEach((b) => b.remove());
  open('merge-dialog', 'merge-error');
  try {
    const reply = await menu('session-neighbours', { id: session.id });
    $('merge-text').textContent = reply.text;
    for (const side of ['previous', 'next']) {
      const other = reply.result[side];
      if (!other) continue;
      buttons.append(element('button', {
        type: 'button', className: 'primary merge-with',
        textContent: `Merge with ${clock(other.start)} – ${other.end ? clock(other.end) : 'now'}`,
        onclick: () => submit('merge-dialog', 'merge-error',
          () => menu('session-merge', { id: session.id, next_id: other.id })),
      }));
    }
  } catch (error) {
    refuseIn('merge-error', error);
  }
}

let confirmed = null;

function confirmThen(text, work) {
  $('confirm-text').textContent = text;
  confirmed = work;
  open('confirm-dialog', 'confirm-error');
}

function deleteSession(session) {
  confirmThen(`Delete session ${session.id} (${session.project}, ${clock(session.start)} – ${session.end ? clock(session.end) : 'now'})? This can’t be undone.`,
    () => menu('session-delete', { id: session.id }));
}

// --- Projects ---

async function loadProjectRows() {
  const [week, ever] = await Promise.all([menu('report', { range: 'This Week' }), menu('report', { range: 'All Time' })]);
  const secondsOf = (report) => new Map(report.result.projects.map((p) => [p.project, p.seconds]));
  const weekly = secondsOf(week), always = secondsOf(ever);
  $('project-rows').replaceChildren(...projects.map((p) => {
    const buttons = [
      element('button', { type: 'button', className: 'small', textContent: 'Rename', onclick: () => renameProject(p) }),
      p.archived
        ? element('button', { type: 'button', className: 'small', textContent: 'Unarchive', onclick: () => act(() => menu('project-unarchive', { name: p.name })) })
        : element('button', { type: 'button', className: 'small', textContent: 'Archive', onclick: () => act(() => menu('project-archive', { name: p.name })) }),
      element('button', { type: 'button', className: 'small danger', textContent: 'Delete', onclick: () => deleteProject(p) }),
    ];
    return element('tr', { dataset: { name: p.name } },
      element('td', { className: 'project' }, swatch(p.name), p.name),
      element('td', { className: 'number', dataset: { label: 'This week' } }, duration(weekly.get(p.name) || 0)),
      element('td', { className: 'number', dataset: { label: 'All time' } }, duration(always.get(p.name) || 0)),
      element('td', { className: 'quiet state' }, p.archived ? 'Archived' : 'Active'),
      element('td', { className: 'actions' }, ...rowMenu(buttons)));
  }));
}

let renaming = null;

function renameProject(project) {
  renaming = project;
  $('rename-name').value = project.name;
  open('rename-dialog', 'rename-error');
}

function saveRename() {
  return submit('rename-dialog', 'rename-error',
    () => menu('project-rename', { name: renaming.name, new_name: $('rename-name').value }));
}

async function deleteProject(project) {
  try {
    const usage = (await menu('project-usage', { name: project.name })).result;
    const count = usage.sessions;
    confirmThen(`Delete “${project.name}” and its ${count} session${count === 1 ? '' : 's'}? This can’t be undone.`,
      () => menu('project-delete', { name: project.name }));
  } catch (error) {
    say(error.message, true);
  }
}

// --- Import and export ---

// The CSV the last check read: a Lumetra file as it is, another tracker's export converted.
let importText = null;
let converted = '';

// Another tracker's export goes through the converters of `lumetra-app convert` first.
// What one request to the host may carry, with room for the JSON around the text.
const windowFileLimit = 15 * 1024 * 1024;

async function importCSV(file) {
  if (file.size > windowFileLimit) {
    const name = /\s/.test(file.name) ? `"${file.name}"` : file.name, format = $('import-format').value;
    throw new Refused(`${file.name} is larger than the window takes (15 MB). From a terminal: ` + (format
      ? `lumetra-app convert ${format} ${name} -o moved.csv, then lumetra-app import moved.csv`
      : `lumetra-app import ${name}`));
  }
  const format = $('import-format').value;
  const text = await file.text();
  if (!format) return { csv: text, said: '' };
  const reply = await post('/api/convert', {
    format, text, skip_bad: $('import-skip').checked,
    project_tags: $('import-project-tags').value.trim(), untagged: $('import-untagged').value.trim(),
  });
  return { csv: reply.result.csv, said: reply.text + '\n\n' };
}

async function checkImport(dryRun) {
  const file = $('import-file').files[0];
  if (!file) return say('Choose a file first.', true);
  const report = $('import-report');
  $('import-run').disabled = true;
  try {
    if (dryRun || importText === null) ({ csv: importText, said: converted } = await importCSV(file));
    const reply = await control('import', { csv: importText, dry_run: dryRun, allow_overlaps: $('import-overlaps').checked });
    report.textContent = (dryRun ? converted : '') + reply.text;
    report.hidden = false;
    // Import only after a check that found nothing in the way.
    const r = reply.result;
    $('import-run').disabled = !dryRun || r.problems.length > 0 || (!r.allow_overlaps && r.overlaps.length > 0) || r.sessions === 0;
    if (!dryRun) {
      importText = null;
      say(reply.text.split('\n')[0]);
      await refresh();
    }
  } catch (error) {
    report.textContent = error.message;
    report.hidden = false;
  }
}

// Anything changed after a check asks for a new one.
function importChanged() {
  importText = null;
  $('import-run').disabled = true;
  $('import-report').hidden = true;
  const format = $('import-format').value;
  $('import-tags').hidden = format !== 'timewarrior';
  $('import-skip-label').hidden = !format;
}

// --- Reports ---

const presets = ['Today', 'Yesterday', 'This Week', 'Last Week', 'This Month', 'Last Month', 'This Year', 'Last Year', 'All Time'];
let reportRange = 'This Week';
let reportBy = 'day';

// The range as the report command takes it: a name, a day, or FROM..TO.
const spanOf = (from, to) => (from === to ? from : `${from}..${to}`);

async function loadReports() {
  const asked = [reportRange, reportBy];
  const reply = await menu('report', { range: reportRange, by: reportBy });
  // A choice made meanwhile wins: its own reading follows.
  if (asked[0] !== reportRange || asked[1] !== reportBy) return;
  const r = reply.result;
  $('report-range').value = presets.includes(reportRange) ? reportRange : '';
  $('report-from').value = r.first_day;
  $('report-to').value = r.last_day;
  $('report-by').value = r.by;
  $('report-previous').disabled = reportRange === 'All Time';
  $('report-next').disabled = reportRange === 'All Time';
  const days = r.first_day === r.last_day ? r.first_day : `${r.first_day} to ${r.last_day}`;
  $('report-title').textContent = presets.includes(reportRange) ? `${reportRange} (${days})` : days;
  $('report-total').textContent = duration(r.seconds);
  $('report-export').href = `/export.csv?range=${encodeURIComponent(spanOf(r.first_day, r.last_day))}`;
  $('report-empty').textContent = r.groups.length ? '' : reply.text;
  $('report-empty').hidden = r.groups.length > 0;
  $('report-table').hidden = r.groups.length === 0;
  const grouped = r.by !== 'project';
  $('report-group-heading').textContent = r.by === 'week' ? 'Week' : 'Day';
  $('report-group-heading').hidden = !grouped;
  const cell = (text, className = '') => element('td', { className }, text);
  const rows = [];
  for (const group of r.groups) {
    group.projects.forEach((line, i) => {
      rows.push(element('tr', {},
        ...(grouped ? [cell(i === 0 ? group.label : '')] : []),
        element('td', {}, swatch(line.project), line.project + (line.running ? ' (running)' : '')),
        cell(duration(line.seconds), 'number'), cell(`${line.percent}%`, 'number')));
    });
    if (grouped) rows.push(element('tr', { className: 'subtotal' }, cell(''), cell('Subtotal'), cell(duration(group.seconds), 'number'), cell('')));
  }
  rows.push(element('tr', { className: 'grand' }, ...(grouped ? [cell('Total'), cell('')] : [cell('Total')]),
    cell(duration(r.seconds), 'number'), cell('')));
  $('report-rows').replaceChildren(...rows);
  $('report-legend').replaceChildren(...r.projects.map((p) => element('li', {}, swatch(p.project), p.project)));
  $('report-chart').replaceChildren(...(r.groups.length ? [barChart(r)] : []));
}

// One bar per group (per project when grouped by project), stacked by project. On a narrow
// screen fewer labels are written, never smaller ones.
function barChart(r) {
  let bars = r.by === 'project'
    ? r.projects.map((p) => ({ label: p.project, projects: [p] }))
    : r.groups.map((g) => ({ label: g.label.replace(/^Week of /, ''), projects: g.projects }));
  // Days without time still take their place, up to a month of them.
  const first = dayStart(r.first_day), days = Math.round((dayStart(r.last_day) - first) / 86400e3) + 1;
  if (r.by === 'day' && days <= 31) {
    const found = new Map(bars.map((b) => [b.label, b]));
    bars = [...Array(days).keys()].map((i) => {
      const key = dayKey(addDays(first, i));
      return found.get(key) || { label: key, projects: [] };
    });
  }
  const narrow = document.documentElement.clientWidth <= 640;
  const width = narrow ? 360 : 900, height = narrow ? 240 : 260, left = 38, bottom = 30, top = 10;
  const totals = bars.map((b) => b.projects.reduce((sum, p) => sum + p.seconds, 0));
  const hours = Math.max(1, Math.ceil(Math.max(...totals) / 3600));
  const plot = height - bottom - top;
  const column = (width - left) / bars.length;
  const { svg, add } = drawing(width, height, 'Hours per ' + (r.by === 'project' ? 'project' : r.by));
  const ticks = Math.min(hours, narrow ? 4 : 6);
  const step = Math.ceil(hours / ticks);
  for (let h = 0; h <= hours; h += step) {
    const y = top + plot - (h / hours) * plot;
    add('line', { x1: left, x2: width, y1: y, y2: y });
    add('text', { x: left - 6, y: y + 4, 'text-anchor': 'end' }, `${h}h`);
  }
  // A label needs about 70 units (a date, a name); every nth bar gets one.
  const every = Math.max(1, Math.ceil(70 / column));
  bars.forEach((bar, i) => {
    let y = top + plot;
    for (const p of bar.projects) {
      const h = (p.seconds / 3600 / hours) * plot;
      y -= h;
      const rect = add('rect', { x: left + i * column + column * 0.15, y, width: Math.max(column * 0.7, 1),
                                 height: Math.max(h, 0), rx: 2, fill: colour(p.project) });
      add('title', {}, `${bar.label}, ${p.project}: ${duration(p.seconds)}`, rect);
    }
    if (i % every === 0) {
      const label = bar.label.length > 12 ? `${bar.label.slice(0, 11)}…` : bar.label;
      add('text', { x: left + i * column + column / 2, y: height - 10, 'text-anchor': 'middle' },
          r.by !== 'day' ? label : bars.length <= 14 && !narrow
            ? dayStart(bar.label).toLocaleDateString([], { weekday: 'short', day: 'numeric', month: 'short' })
            : label.slice(5));
    }
  });
  return svg;
}

// Earlier or later by the range's own length: whole months and years step by months and years.
function shiftReport(direction) {
  const from = dayStart($('report-from').value), to = dayStart($('report-to').value);
  const lastOfMonth = (d) => addDays(d, 1).getDate() === 1;
  let next;
  if (from.getDate() === 1 && lastOfMonth(to)) {
    const months = (to.getFullYear() - from.getFullYear()) * 12 + to.getMonth() - from.getMonth() + 1;
    const start = new Date(from.getFullYear(), from.getMonth() + direction * months, 1);
    next = [start, new Date(start.getFullYear(), start.getMonth() + months, 0)];
  } else {
    const days = Math.round((to - from) / 86400e3) + 1;
    next = [addDays(from, direction * days), addDays(to, direction * days)];
  }
  reportRange = spanOf(dayKey(next[0]), dayKey(next[1]));
  refresh();
}

function chooseDays() {
  // One date alone is that day.
  const from = $('report-from').value || $('report-to').value, to = $('report-to').value || from;
  if (!from) return;
  if (from > to) return say(`“${from}..${to}”: FROM is after TO.`, true);
  reportRange = spanOf(from, to);
  refresh();
}

// --- Settings ---

async function loadAbout() {
  const response = await fetch('/api/about', { credentials: 'same-origin' });
  if (!response.ok) return;
  const about = await response.json();
  $('about-version').textContent = about.version;
  $('about-folder').textContent = about.data_folder;
  $('about-idle').textContent = about.idle_source
    ? `Seen through ${about.idle_source}.`
    : 'Not seen on this desktop: sessions stop by themselves only when the computer sleeps.';
}

async function loadSettings() {
  await loadAbout();
  const idle = await menu('idle-timeout');
  $('idle-minutes').value = idle.result.seconds / 60;
  $('idle-text').textContent = idle.text;
  const port = await menu('web-port');
  $('port-text').textContent = `${port.text} Change it with “lumetra-app web-port PORT”.`;
  await loadSync();
}

async function loadSync() {
  const sync = await menu('sync-status');
  $('sync-text').textContent = sync.result.enabled ? sync.text
    : 'Share your history with your other computers through a folder that Syncthing (or any folder sync) keeps '
      + 'equal on each of them. The folder holds your history as plain text: share it only with your own devices.';
  $('sync-form').hidden = sync.result.enabled;
  $('sync-buttons').hidden = !sync.result.enabled;
  if (!$('sync-name').value && !sync.result.enabled) $('sync-name').placeholder = 'its host name';
  const conflicts = sync.result.enabled ? (await menu('sync-conflicts')).result.conflicts : [];
  $('sync-conflicts').replaceChildren(...conflicts.map((c) => element('li', {},
    element('p', {}, c.text),
    element('div', { className: 'row' }, ...c.fixes.map((fix) => element('button', {
      type: 'button', className: 'small', textContent: fix,
      onclick: () => {
        const name = fix === 'rename' ? prompt('The project’s new name') : null;
        if (fix === 'rename' && !name) return;
        act(() => menu('sync-resolve', { id: c.id, fix, ...(name ? { name } : {}) }));
      },
    }))))));
}

async function joinSync(dryRun) {
  const name = $('sync-name').value.trim();
  const fields = { folder: $('sync-folder').value.trim(), ...(name ? { name } : {}), dry_run: dryRun };
  const reply = await act(() => menu('sync-enable', fields));
  if (reply && dryRun) {
    $('sync-preview-text').textContent = reply.text;
    $('sync-preview-text').hidden = false;
  } else if (reply) {
    $('sync-preview-text').hidden = true;
  }
}

// --- Views and the live refresh ---

const loaders = { now: loadNow, day: loadDay, projects: loadProjectRows, reports: loadReports, transfer: async () => {}, settings: loadSettings };

// One reading at a time: a change during one asks for one more after it, so an older answer
// never lands over a newer one.
let reading = null;
let readAgain = false;

async function refresh() {
  if (restarted) return;
  if (reading) {
    readAgain = true;
    return reading;
  }
  reading = (async () => {
    do {
      readAgain = false;
      try {
        await loadProjects();
        await loaders[view]();
      } catch (error) {
        say(error.message, true);
      }
    } while (readAgain);
  })();
  try {
    await reading;
  } finally {
    reading = null;
  }
}

function show(name) {
  // A notice belongs to the view it was said in.
  if (name !== view && !restarted) say('');
  view = name;
  for (const section of document.querySelectorAll('.view')) section.hidden = section.id !== `view-${name}`;
  for (const tab of document.querySelectorAll('.tab')) {
    if (tab.dataset.view === name) tab.setAttribute('aria-current', 'page');
    else tab.removeAttribute('aria-current');
  }
  if (location.hash !== `#${name}`) history.replaceState(null, '', `#${name}`);
  refresh();
}

async function watch() {
  if (restarted) return;
  try {
    const response = await fetch('/api/revision', { credentials: 'same-origin' });
    if (response.status === 401) return hostRestarted();
    if (response.ok) {
      const now = (await response.json()).revision;
      if (revision !== null && now !== revision) await refresh();
      revision = now;
    }
  } catch {
    // the host may be restarting; the next look tells
  }
}

function wire() {
  for (const tab of document.querySelectorAll('.tab')) tab.addEventListener('click', () => show(tab.dataset.view));
  for (const button of document.querySelectorAll('dialog .close')) {
    button.addEventListener('click', () => button.closest('dialog').close());
  }
  $('start-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const description = $('start-description').value.trim();
    act(() => control('start', { project: $('start-project').value, ...(description ? { description } : {}) }))
      .then((reply) => { if (reply) $('start-description').value = ''; });
  });
  $('stop').addEventListener('click', () => act(() => control('stop')));
  $('resume').addEventListener('click', () => act(() => control('resume')));
  $('running-description').addEventListener('change', (event) => {
    act(() => control('describe', { description: event.target.value }));
  });
  $('day-previous').addEventListener('click', () => { day = dayKey(addDays(dayStart(day), -1)); refresh(); });
  $('day-next').addEventListener('click', () => { day = dayKey(addDays(dayStart(day), 1)); refresh(); });
  $('day-date').addEventListener('change', (event) => { if (event.target.value) { day = event.target.value; refresh(); } });
  $('session-add').addEventListener('click', () => editSession(null));
  $('session-form').addEventListener('submit', (event) => { event.preventDefault(); saveSession(); });
  $('split-form').addEventListener('submit', (event) => { event.preventDefault(); saveSplit(); });
  $('rename-form').addEventListener('submit', (event) => { event.preventDefault(); saveRename(); });
  $('confirm-yes').addEventListener('click', () => submit('confirm-dialog', 'confirm-error', confirmed));
  $('project-form').addEventListener('submit', (event) => {
    event.preventDefault();
    act(() => menu('project-add', { name: $('project-name').value }))
      .then((reply) => { if (reply) $('project-name').value = ''; });
  });
  for (const id of ['import-file', 'import-format', 'import-skip', 'import-overlaps', 'import-project-tags', 'import-untagged']) {
    $(id).addEventListener('change', importChanged);
  }
  $('week-more').addEventListener('click', () => { reportRange = 'This Week'; reportBy = 'day'; show('reports'); });
  $('report-range').addEventListener('change', (event) => {
    if (event.target.value) { reportRange = event.target.value; refresh(); }
  });
  $('report-from').addEventListener('change', chooseDays);
  $('report-to').addEventListener('change', chooseDays);
  $('report-by').addEventListener('change', (event) => { reportBy = event.target.value; refresh(); });
  $('report-previous').addEventListener('click', () => shiftReport(-1));
  $('report-next').addEventListener('click', () => shiftReport(1));
  document.addEventListener('click', closeRowMenus);
  $('import-check').addEventListener('click', () => checkImport(true));
  $('import-run').addEventListener('click', () => checkImport(false));
  $('export-range').addEventListener('change', (event) => {
    $('export-link').href = `/export.csv?range=${encodeURIComponent(event.target.value)}`;
  });
  $('sync-form').addEventListener('submit', (event) => { event.preventDefault(); joinSync(false); });
  $('sync-preview').addEventListener('click', () => { if ($('sync-form').reportValidity()) joinSync(true); });
  $('sync-now').addEventListener('click', () => act(() => menu('sync-now')));
  $('sync-stop').addEventListener('click', () => act(() => menu('sync-disable')));
  $('idle-form').addEventListener('submit', (event) => {
    event.preventDefault();
    act(() => menu('idle-timeout', { seconds: Number($('idle-minutes').value) * 60 }));
  });
}

wire();
// The charts are drawn for the width they have.
let resized = null;
window.addEventListener('resize', () => { clearTimeout(resized); resized = setTimeout(refresh, 200); });
show(['now', 'day', 'projects', 'reports', 'transfer', 'settings'].includes(location.hash.slice(1)) ? location.hash.slice(1) : 'now');
setInterval(tick, 1000);
setInterval(watch, 1000);
