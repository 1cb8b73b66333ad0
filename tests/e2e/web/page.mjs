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
  await clickRow('#day-sessions tr:first-child button');  // Edit
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
  assert.equal(dryRun, run(tool, ['import', csv, '--dry-run']).trimEnd(), 'the report is the tool’s');
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
