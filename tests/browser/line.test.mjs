// psucal-line in Debian's chromium: the pages a quality engineer uses, end to end.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';

const { chromium } = createRequire(import.meta.url)('playwright-core');
const base = process.env.LINE_URL;
const token = process.env.LINE_TOKEN;
const serial = process.env.LINE_SERIAL;
const hostile = process.env.LINE_HOSTILE;
let browser;

async function loggedIn() {
  const context = await browser.newContext({ acceptDownloads: true });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.on('dialog', (d) => { errors.push('dialog ' + d.message()); d.dismiss(); });
  await page.goto(base + '/login');
  await page.fill('input[name=token]', token);
  await Promise.all([page.waitForURL(base + '/'), page.click('button[type=submit]')]);
  return { context, page, errors };
}

before(async () => {
  browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
});
after(async () => { await browser?.close(); });

test('a serial is found and its unit opens', async () => {
  const { context, page } = await loggedIn();
  assert.deepEqual(await page.locator('select[name=bench] option').allTextContents(),
    ['any', 'bench-0', 'bench-1', 'bench-2']);
  await page.fill('input[name=sn]', serial.slice(2));
  await Promise.all([page.waitForURL(/sn=/), page.click('form.filter button')]);
  assert.match(await page.textContent('#count'), /^2 runs match/); // the unit and its retest
  await Promise.all([page.waitForURL(/\/unit\//), page.locator(`a:text-is("${serial}")`).first().click()]);
  assert.equal(await page.textContent('h1'), `Unit ${serial}`);
  assert.equal(await page.locator('section.run').count(), 2);
  await context.close();
});

test('the yield chart draws', async () => {
  const { context, page, errors } = await loggedIn();
  await page.goto(base + '/yield');
  const canvas = page.locator('#yield-chart[data-drawn=true]');
  await canvas.waitFor({ timeout: 5000 });
  const inked = await canvas.evaluate((c) => {
    const px = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let n = 0;
    for (let i = 3; i < px.length; i += 4) if (px[i] > 0) n++;
    return n;
  });
  assert.ok(inked > 1000, `only ${inked} pixels drawn`);
  assert.deepEqual(errors, []);
  await context.close();
});

test('the drift page draws its four charts from one download', async () => {
  const { context, page, errors } = await loggedIn();
  const series = [];
  page.on('request', (r) => { if (r.url().includes('/api/drift')) series.push(r.url()); });
  await page.goto(base + '/drift?model=40V%2F5A&spot=3');
  await page.locator('canvas[data-drawn=true]').nth(3).waitFor({ timeout: 5000 });
  assert.equal(await page.locator('canvas[data-chart]').count(), 4);
  assert.equal(series.length, 1);
  assert.deepEqual(errors, []);
  await context.close();
});

test('the reprint link downloads the report as a PDF', async () => {
  const { context, page } = await loggedIn();
  await page.goto(base + '/unit/' + encodeURIComponent(serial));
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('a:text("Report (PDF)")')]);
  const file = path.join(mkdtempSync(path.join(tmpdir(), 'line-')), 'report.pdf');
  await download.saveAs(file);
  const text = execFileSync('pdftotext', [file, '-']).toString();
  assert.match(text, new RegExp(`Serial No\\.: ${serial}`));
  await context.close();
});

test('a hostile serial shows as text and runs nothing', async () => {
  const { context, page, errors } = await loggedIn();
  await page.goto(base + '/?sn=' + encodeURIComponent(hostile.slice(0, 4)));
  assert.equal(await page.locator(`a:text-is("${hostile}")`).count(), 1);
  await page.goto(base + '/unit/' + encodeURIComponent(hostile));
  assert.equal(await page.textContent('h1'), `Unit ${hostile}`);
  assert.equal(await page.locator('main svg').count(), 0);
  assert.deepEqual(errors, []);
  await context.close();
});

test('a wrong token gets the login page', async () => {
  const context = await browser.newContext();
  await context.addCookies([{ name: 'psucal_line', value: 'not-the-token-at-all', url: base }]);
  const page = await context.newPage();
  const response = await page.goto(base + '/yield');
  assert.equal(response.status(), 401);
  assert.equal(await page.textContent('h1'), 'Log in');
  await page.fill('input[name=token]', 'still-not-the-token');
  await page.click('button[type=submit]');
  assert.match(await page.textContent('p.message'), /not the one/);
  await context.close();
});

test('HEAD answers with the headers a GET of the address sends, and no body', async () => {
  const auth = { authorization: `Bearer ${token}` };
  const unit = '/unit/' + encodeURIComponent(serial);
  const runs = (await (await fetch(base + '/api' + unit, { headers: auth })).json()).runs;
  const targets = ['/', '/yield', '/drift?model=40V%2F5A&spot=3', unit, '/static/chart.js', '/static/line.css',
    '/api/search?sn=LN', '/api/yield', '/?format=csv', `${unit}/report.pdf?run=${runs[0].id}`, '/nope', '/login'];
  for (const target of targets) {
    const get = await fetch(base + target, { headers: auth });
    const body = await get.arrayBuffer();
    const head = await fetch(base + target, { method: 'HEAD', headers: auth });
    assert.equal(head.status, get.status, target);
    assert.deepEqual([...head.headers], [...get.headers], target);
    assert.equal(Number(get.headers.get('content-length')), body.byteLength, target);
    assert.equal((await head.arrayBuffer()).byteLength, 0, target);
  }
});
