// Drives the running demo through its real interface in headless Chromium, the way a user
// would, and checks every result where the hub leaves it: in the demo prefix's folders.
// Run by tests/harness/demo.sh check, with the node test runner:
//   DEMO_URL=http://127.0.0.1:PORT/ DEMO_PREFIX=.../wineprefix DEMO_SCREENSHOTS=DIR \
//   node --test tests/demo/demo_check.mjs
// The steps depend on each other and run in order; screenshots at 1280×800 and 1080×680.
import assert from 'node:assert/strict';
import { existsSync, mkdirSync, readdirSync, readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { after, before, test } from 'node:test';

const require = createRequire(new URL('../../web/package.json', import.meta.url));
const { chromium } = require('@playwright/test');

const operationTimeout = 90_000;
const screenshots = process.env.DEMO_SCREENSHOTS;
const userFolder = (() => {
  const users = join(process.env.DEMO_PREFIX, 'drive_c', 'users');
  return join(users, readdirSync(users).find((name) => name !== 'Public'));
})();
const community2024 = join(userFolder, 'AppData/Roaming/Microsoft Flight Simulator 2024/Packages/Community');
const applicationFolder = join(userFolder, 'AppData/Local/Orvantis.CameraSystem');
const hubLog = () => readFileSync(join(userFolder, 'AppData/Local/Orvantis/Hub/hub.log'), 'utf8');
const json = (file) => JSON.parse(readFileSync(file, 'utf8'));
const packageVersion = (folder) => json(join(community2024, folder, 'manifest.json')).package_version;

let browser;
let page;

before(async () => {
  mkdirSync(screenshots, { recursive: true });
  browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
});

after(async () => {
  if (page && process.exitCode) await page.screenshot({ path: join(screenshots, 'failure.png') });
  await browser?.close();
});

// The card of a component, shown in the rail's section of its family.
async function card(section, name) {
  await page.getByRole('navigation', { name: 'Sections' }).getByRole('button', { name: section }).click();
  return page.getByRole('article', { name });
}

const status = (cardLocator, text) =>
  cardLocator.locator('.status-name', { hasText: new RegExp(`^${text}$`) }).waitFor({ timeout: operationTimeout });

const notice = (text) => page.getByRole('status').filter({ hasText: text }).waitFor({ timeout: operationTimeout });

test('the first screen shows the catalog and the MSFS 2024 Steam target', async () => {
  const started = Date.now();
  await page.goto(process.env.DEMO_URL);
  await page.getByRole('heading', { name: 'Orvantis Hub' }).waitFor({ timeout: 60_000 });
  console.log(`first screen after ${Date.now() - started} ms`);
  await page.getByText('MSFS 2024 · Steam').waitFor();
  const velmora = await card('Velmora', 'Weapons Patch');
  await status(velmora, 'Update available');
  await page.screenshot({ path: join(screenshots, 'catalog-1280x800.png') });
});

test('install a community package: the Tarsek weapons patch', async () => {
  const tarsek = await card('Tarsek', 'Weapons Patch');
  await tarsek.getByRole('button', { name: 'Install' }).click();
  await status(tarsek, 'Installed');
  assert.equal(packageVersion('orvantis-aircraft-tarsek-weapons'), '1.0.0');
  assert.match(hubLog(), /installed tarsek-weapons-patch 1\.0\.0/);
});

test('install, launch and stop the application, and give it a desktop shortcut', async () => {
  const camera = await card('Velmora', 'Camera System');
  await camera.getByRole('button', { name: 'Install' }).click();
  await status(camera, 'Installed');
  assert.equal(json(join(applicationFolder, 'orv-hub-install.json')).version, '0.11.0');
  await camera.getByRole('button', { name: 'Launch' }).click();
  await camera.getByText('Running', { exact: true }).waitFor({ timeout: operationTimeout });
  await camera.getByRole('button', { name: 'Create desktop shortcut' }).click();
  await notice('shortcut created');
  assert.ok(existsSync(join(userFolder, 'Desktop', 'Orvantis Camera System.lnk')));
  await camera.getByRole('button', { name: 'Stop' }).click();
  await camera.getByText('Running', { exact: true }).waitFor({ state: 'detached', timeout: operationTimeout });
});

test('update the Velmora weapons patch from 1.0.0 to 1.0.1', async () => {
  const velmora = await card('Velmora', 'Weapons Patch');
  await velmora.getByRole('button', { name: 'Update' }).click();
  await status(velmora, 'Installed');
  await velmora.getByText('Installed 1.0.1').waitFor();
  assert.equal(packageVersion('orvantis-aircraft-velmora-weapons'), '1.0.1');
  await page.setViewportSize({ width: 1080, height: 680 });
  await page.screenshot({ path: join(screenshots, 'velmora-1080x680.png') });
  await page.setViewportSize({ width: 1280, height: 800 });
});

test('uninstall the Tarsek weapons patch after confirming', async () => {
  const tarsek = await card('Tarsek', 'Weapons Patch');
  await tarsek.getByRole('button', { name: 'Uninstall' }).click();
  await page.getByRole('dialog').getByRole('button', { name: 'Uninstall' }).click();
  await status(tarsek, 'Not installed');
  assert.ok(!existsSync(join(community2024, 'orvantis-aircraft-tarsek-weapons')));
  assert.ok(existsSync(join(community2024, 'thirdparty-livery-example')), "another maker's package stays");
  assert.match(hubLog(), /uninstalled tarsek-weapons-patch/);
});
