// Lumetra's window in a real Chromium against the real host, with the real tool beside it:
//   node page.mjs APP TOOL SHOTS
// The host is running already on LUMETRA_DATA_DIR (and TZ) of this process, with projects
// Garden and Writing. Screenshots of each view go to SHOTS. Exits non-zero on the first failure.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import puppeteer from 'puppeteer-core';

const [app, tool, shots] = process.argv.slice(2);
const run = (program, args) => execFileSync(program, args, { encoding: 'utf8', env: { ...process.env, DISPLAY: '' } });
const day = '2025-06-02';
// The terminal's duration format, for comparing with what the window writes.
const duration = (seconds) => {
  const minutes = Math.round(seconds / 60);
  return minutes < 60 ? `${minutes}m` : `${Math.floor(minutes / 60)}h ${String(minutes % 60).padStart(2, '0')}m`;
};

const address = run(app, ['open']).trim().replace(/^.*: /, '');
assert.match(address, /^http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]{64}$/);
const origin = new URL(address).origin;

const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--no-first-run', `--lang=en-GB`],
  env: { ...process.env },
});
const failures = [];
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1100, height: 820 });
  await page.emulateTimezone(process.env.TZ);
  // A view is drawn again when the revision the page polls changes; a click that lands on a row
  // just replaced is tried again on its successor.
  const clickRow = async (selector) => {
    for (let attempt = 1; ; attempt++) {
      try {
        return await page.click(selector);
      } catch (error) {
        if (attempt === 5 || !/detached/i.test(error.message)) throw error;
        await new Promise((resolve) => setTimeout(resolve, 100));
      }
    }
  };
  page.on('pageerror', (error) => failures.push(`page error: ${error.message}`));
  page.on('console', (message) => { if (message.type() === 'error') failures.push(`console: ${message.text()}`); });

  // The token becomes a cookie and leaves the address bar.
  await page.goto(address, { waitUntil: 'networkidle0' });
  assert.equal(page.url(), `${origin}/#now`);
  await page.waitForSelector('#start-project option[value="Garden"]');

  // Start from the page: the timer runs and the tool agrees.
  await page.select('#start-project', 'Garden');
  await page.type('#start-description', 'Planting');
  await page.click('#start');
  await page.waitForSelector('#running-on:not([hidden])');
  assert.equal(await page.$eval('#running-project', (e) => e.textContent), 'Garden');
  const first = await page.$eval('#elapsed', (e) => e.textContent);
  await page.waitForFunction((shown) => document.querySelector('#elapsed').textContent !== shown, { timeout: 3000 }, first);
  assert.match(run(tool, ['status']), /Garden/);
  assert.match(await page.$eval('#notice', (e) => e.textContent), /Garden/);
  await page.screenshot({ path: join(shots, 'now.png') });

  // Stopped from the tool: the page shows it within two seconds, without reloading.
  run(tool, ['stop']);
  await page.waitForSelector('#running-off:not([hidden])', { timeout: 2000 });
  await page.waitForSelector('#resume:not([hidden])', { timeout: 2000 });
  assert.equal(await page.$eval('#resume', (e) => e.textContent), 'Resume “Garden”');

  // A day's sessions: add one by hand, then an edit that would overlap is refused with its sentence.
  await page.click('button[data-view="day"]');
  await page.$eval('#day-date', (input, value) => {
    input.value = value;
    input.dispatchEvent(new Event('change'));
  }, day);
  await page.waitForSelector('#day-empty:not([hidden])');
  const addSession = async (project, start, end, description) => {
    await page.click('#session-add');
    await page.select('#session-project', project);
    await page.$eval('#session-start', (e, v) => { e.value = v; }, `${day}T${start}`);
    await page.$eval('#session-end', (e, v) => { e.value = v; }, `${day}T${end}`);
    await page.$eval('#session-description', (e, v) => { e.value = v; }, description);
    await page.click('#session-form button[type="submit"]');
  };
  await addSession('Writing', '09:00', '10:00', 'Outline');
  await page.waitForFunction(() => document.querySelectorAll('#day-sessions tr').length === 1);
  await addSession('Garden', '10:30', '11:30', 'Weeding');
  await page.waitForFunction(() => document.querySelectorAll('#day-sessions tr').length === 2);
  const before = run(app, ['export']);
  await clickRow('#day-sessions tr:first-child .row-menu button');  // Edit
  await page.$eval('#session-end', (e, v) => { e.value = v; }, `${day}T11:00`);
  await page.click('#session-form button[type="submit"]');
  await page.waitForSelector('#session-error:not([hidden])');
  assert.match(await page.$eval('#session-error', (e) => e.textContent),
    /^That overlaps session \d+ \(Garden, 2025-06-02 10:30 to 2025-06-02 11:30\)\. Sessions can't share time\.$/);
  await page.screenshot({ path: join(shots, 'session-refused.png') });
  assert.equal(run(app, ['export']), before, 'a refused edit changes nothing');
  await page.click('#session-dialog .close');
  await page.screenshot({ path: join(shots, 'sessions.png') });

  // Import through the page: the dry run's report first, then the import.
  const folder = mkdtempSync(join(tmpdir(), 'lumetra-page-'));
  const csv = join(folder, 'import.csv');
  writeFileSync(csv, 'Project,Date,Start,End,Duration,Hours,Entry,Description,Times,Source ID\n' +
    'Garden,2025-06-03,2025-06-03 08:00:00,2025-06-03 09:15:00,1:15:00,1.2500,manual,Pruning,real,\n' +
    'Reading,2025-06-03,2025-06-03 20:00:00,2025-06-03 21:00:00,1:00:00,1.0000,manual,,real,\n');
  await page.click('button[data-view="transfer"]');
  const input = await page.$('#import-file');
  await input.uploadFile(csv);
  await page.click('#import-check');
  await page.waitForSelector('#import-report:not([hidden])');
  const dryRun = await page.$eval('#import-report', (e) => e.textContent);
  assert.equal(dryRun, run(tool, ['import', csv, '--dry-run']).trimEnd()
    .replace('Nothing was saved (dry run).', 'Nothing is saved until you press Import.'), 'the report is the tool’s');
  await page.screenshot({ path: join(shots, 'import.png') });
  await page.click('#import-run');
  await page.waitForFunction(() => document.querySelector('#import-run').disabled);
  assert.match(run(tool, ['sessions', '--project', 'Reading']), /Reading/);

  // The download is byte for byte what `lumetra-app export` writes.
  await page.select('#export-range', 'All Time');
  const downloaded = await page.$eval('#export-link', async (link) => {
    const response = await fetch(link.href);
    return { type: response.headers.get('content-type'), disposition: response.headers.get('content-disposition'),
             bytes: [...new Uint8Array(await response.arrayBuffer())] };
  });
  assert.equal(downloaded.disposition, 'attachment; filename="lumetra-all-time.csv"');
  assert.deepEqual(Buffer.from(downloaded.bytes), Buffer.from(run(app, ['export']), 'utf8'));

  // Projects: deleting names what goes with it.
  await page.click('button[data-view="projects"]');
  await page.waitForSelector('#project-rows tr[data-name="Reading"]');
  await page.screenshot({ path: join(shots, 'projects.png') });
  await clickRow('#project-rows tr[data-name="Reading"] button.danger');
  await page.waitForSelector('#confirm-dialog[open]');
  assert.equal(await page.$eval('#confirm-text', (e) => e.textContent),
    'Delete “Reading” and its 1 session? This can’t be undone.');
  await page.click('#confirm-yes');
  await page.waitForFunction(() => !document.querySelector('#project-rows tr[data-name="Reading"]'));
  assert.doesNotMatch(run(app, ['projects', '--all']), /Reading/);

  await page.click('button[data-view="settings"]');
  await page.waitForFunction(() => document.querySelector('#idle-text').textContent !== '');
  await page.screenshot({ path: join(shots, 'settings.png') });
  await page.click('button[data-view="now"]');
  await page.waitForSelector('#week-chart svg');
  await page.screenshot({ path: join(shots, 'week.png'), fullPage: true });

  // Details a new user met, as page assertions.
  const text = (selector) => page.$eval(selector, (e) => e.textContent);
  const visible = (selector) => page.$eval(selector, (e) => !e.closest('[hidden]') && e.getClientRects().length > 0);
  await page.select('#start-project', 'Writing');
  await page.click('#start');
  await page.waitForFunction(() => /Writing \(running\)/.test(document.querySelector('#today-list').textContent));
  assert.equal(await visible('#start-description'), false, 'one Description field while running');
  assert.equal(await page.$eval('#running-description', (e) => e.closest('label').textContent.trim()), 'Description of this session');
  assert.match(await text('#today-list'), /Writing \(running\)0m/, 'running in Today at once, in the terminal’s format');
  await page.click('button[data-view="day"]');
  assert.equal(await page.$eval('#notice', (e) => e.hidden), true, 'a notice stays with its view');
  await page.waitForSelector('#day-sessions tr');
  const mergeable = await page.$$eval('#day-sessions tr', (rows) => rows.map((r) => !r.querySelector('button.merge').hidden));
  assert.deepEqual(mergeable, [false, false], 'Merge only where a neighbour can be merged');
  await page.click('#session-add');
  const [addStart, addEnd] = await page.$$eval('#session-start, #session-end', (e) => e.map((i) => i.value));
  const sinceMidnight = Date.parse(addEnd) - Date.parse(addEnd.slice(0, 10) + 'T00:00');
  assert.equal(Date.parse(addEnd) - Date.parse(addStart), Math.min(3600e3, sinceMidnight), 'a new session is the hour before now');
  const clockNow = await page.evaluate(() => [new Date(Date.now() - 60e3), new Date()].map((d) => d.toTimeString().slice(0, 5)));
  assert.ok(clockNow.includes(addEnd.slice(11)), `${addEnd} ends at now's clock time`);
  await page.click('#session-dialog .close');
  run(tool, ['stop']);
  await page.click('button[data-view="projects"]');
  await page.waitForFunction(() => document.querySelector('#project-rows tr[data-name="Writing"] td.number'));
  assert.deepEqual(await page.$$eval('#project-rows tr[data-name="Garden"] td.number', (e) => e.map((c) => c.textContent)),
    ['0m', '2h 15m'], 'Projects show this week and all time');
  await page.click('button[data-view="transfer"]');
  await page.select('#import-format', 'timewarrior');
  await (await page.$('#import-file')).uploadFile(csv);
  await page.click('#import-check');
  await page.waitForSelector('#import-report:not([hidden])');
  assert.equal(await page.$eval('#import-run', (e) => e.disabled), true, 'Import stays off after a failed check');
  const timew = join(folder, 'timew.json');
  writeFileSync(timew, '[{"id":1,"start":"20250604T080000Z","end":"20250604T090000Z","tags":["zeta","Garden"]}]');
  await (await page.$('#import-file')).uploadFile(timew);
  await page.click('#import-check');
  await page.waitForFunction(() => !document.querySelector('#import-run').disabled);
  assert.match(await text('#import-report'), /^Converted 1 entry from timewarrior\.\n\nWould import 1 session \(1h 00m\)\. Nothing is saved until you press Import\./);
  await page.click('#import-run');
  await page.waitForFunction(() => document.querySelector('#import-run').disabled);
  assert.match(run(tool, ['sessions', '--project', 'Garden', '--since', '2025-06-04']), /Garden/);
  await page.click('button[data-view="settings"]');
  await page.waitForFunction(() => document.querySelector('#about-version').textContent !== '');
  assert.match(await text('#about-version'), /^\d+\.\d+\.\d+$/);
  assert.equal(await text('#about-folder'), process.env.LUMETRA_DATA_DIR);

  // Reports: any range, its totals as `lumetra-app report --json` has them.
  await page.click('button[data-view="reports"]');
  await page.$eval('#report-from', (e) => { e.value = '2025-06-02'; e.dispatchEvent(new Event('change')); });
  await page.$eval('#report-to', (e) => { e.value = '2025-06-08'; e.dispatchEvent(new Event('change')); });
  await page.waitForFunction(() => document.querySelector('#report-title').textContent === '2025-06-02 to 2025-06-08');
  const expected = JSON.parse(run(app, ['report', '2025-06-02..2025-06-08', '--by', 'day', '--json']));
  const shown = await page.$$eval('#report-rows tr:not(.subtotal):not(.grand)', (rows) => rows.map((r) => [...r.cells].slice(1).map((c) => c.textContent)));
  assert.deepEqual(shown, expected.groups.flatMap((g) => g.projects.map((p) => [p.project, duration(p.seconds), `${p.percent}%`])));
  assert.equal(await text('#report-total'), duration(expected.seconds));
  await page.click('#report-previous');
  await page.waitForFunction(() => document.querySelector('#report-title').textContent === '2025-05-26 to 2025-06-01');
  await page.click('#report-next');
  await page.waitForFunction(() => document.querySelector('#report-title').textContent === '2025-06-02 to 2025-06-08');

  // Every view at a desk's width and a phone's, light and dark: nothing runs sideways, no
  // button leaves its card, and the chart's labels stay legible.
  for (const scheme of ['light', 'dark']) {
    await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
    for (const [width, height] of [[1280, 860], [390, 844]]) {
      await page.setViewport({ width, height });
      for (const view of ['now', 'day', 'projects', 'reports', 'transfer', 'settings']) {
        await page.click(`button[data-view="${view}"]`);
        if (view === 'day') await page.waitForSelector('#day-sessions tr');
        if (view === 'reports') await page.waitForSelector('#report-chart svg');
        await new Promise((resolve) => setTimeout(resolve, 150));
        const where = `${view} at ${width} px, ${scheme}`;
        const fits = await page.evaluate(() => [document.documentElement.scrollWidth, document.documentElement.clientWidth]);
        assert.ok(fits[0] <= fits[1], `${where}: ${fits[0]} px wide in ${fits[1]}`);
        const outside = await page.evaluate(() => [...document.querySelectorAll('main button, main .button')]
          .filter((b) => b.getClientRects().length && !b.closest('.row-menu'))
          .filter((b) => {
            const box = b.getBoundingClientRect(), card = b.closest('.card').getBoundingClientRect();
            return box.left < card.left || box.right > card.right;
          }).map((b) => b.textContent));
        assert.deepEqual(outside, [], `${where}: buttons outside their card`);
        const smallest = await page.evaluate(() => Math.min(99, ...[...document.querySelectorAll('main svg text')]
          .filter((t) => t.getClientRects().length).map((t) => t.getBoundingClientRect().height)));
        assert.ok(smallest >= 11, `${where}: chart labels ${smallest} px`);
        await page.screenshot({ path: join(shots, `${view}-${width}-${scheme}.png`), fullPage: true });
      }
    }
  }
} catch (error) {
  failures.push(error.stack || String(error));
} finally {
  await browser.close();
}
if (failures.length) {
  console.error(failures.join('\n'));
  process.exit(1);
}
console.log('ok');
