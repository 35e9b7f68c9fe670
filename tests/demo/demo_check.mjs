// Drives the running demo through its real interface in headless Chromium, the way a user
// would, and checks every result where the hub leaves it: in the demo prefix's folders. Run in
// order by tests/harness/demo.sh check (DEMO_URL, DEMO_PREFIX, DEMO_SCREENSHOTS) with node --test.
import assert from 'node:assert/strict';
import { existsSync, readdirSync, readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { join } from 'node:path';
import { after, test } from 'node:test';

const { chromium } = createRequire(new URL('../../web/package.json', import.meta.url))('@playwright/test');
const { DEMO_URL, DEMO_PREFIX, DEMO_SCREENSHOTS } = process.env;
const timeout = 90_000;
const users = join(DEMO_PREFIX, 'drive_c/users');
const user = (path) => join(users, readdirSync(users).find((name) => name !== 'Public'), path);
const community = (folder) => user(`AppData/Roaming/Microsoft Flight Simulator 2024/Packages/Community/${folder}`);
const json = (path) => JSON.parse(readFileSync(path, 'utf8'));
const logged = (line) => assert.match(readFileSync(user('AppData/Local/Orvantis/Hub/hub.log'), 'utf8'), line);
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', args: ['--disable-gpu'] });
const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
const screenshot = (name, folder = DEMO_SCREENSHOTS) => page.screenshot({ path: join(folder, `${name}.png`) });
after(() => browser.close());

// Opens the rail's section, clicks the named card's button if one is given (and confirms an
// uninstall), and returns the card once its status reads STATUS.
async function act(section, name, button, status) {
  await page.getByRole('navigation', { name: 'Sections' }).getByRole('button', { name: section }).click();
  const card = page.getByRole('article', { name });
  if (button) await card.getByRole('button', { name: button, exact: true }).click();
  if (button === 'Uninstall') await page.getByRole('dialog').getByRole('button', { name: button }).click();
  await card.locator('.status-name', { hasText: new RegExp(`^${status}$`) }).waitFor({ timeout });
  return card;
}

test('on the MSFS 2024 target found at the start, install the Tarsek weapons patch', async () => {
  await page.goto(DEMO_URL);
  await act('Velmora', 'Weapons Patch', '', 'Update available');
  await screenshot('catalog-1280x800');
  // The strip during the download, beside the interface's screenshots in build/screenshots.
  const downloading = page.getByRole('region', { name: 'Status' }).getByText(/^Downloading/).waitFor({ timeout })
    .then(() => screenshot('strip-download-demo-1280x800', join(DEMO_SCREENSHOTS, '../../screenshots')));
  await act('Tarsek', 'Weapons Patch', 'Install', 'Installed');
  await downloading;
  assert.equal(json(community('orvantis-aircraft-tarsek-weapons/manifest.json')).package_version, '1.0.0');
  logged(/installed tarsek-weapons-patch 1\.0\.0/);
});

test('install, launch and stop the application', async () => {
  const camera = await act('Velmora', 'Camera System', 'Install', 'Installed');
  assert.equal(json(user('AppData/Local/Orvantis.CameraSystem/orv-hub-install.json')).version, '0.11.0');
  const running = camera.getByText('Running', { exact: true });
  await camera.getByRole('button', { name: 'Launch' }).click();
  await running.waitFor({ timeout });
  await camera.getByRole('button', { name: 'Stop' }).click();
  await running.waitFor({ state: 'detached', timeout });
});

test('update the Velmora weapons patch to 1.0.1, then uninstall the Tarsek one after confirming', async () => {
  await act('Velmora', 'Weapons Patch', 'Update', 'Installed');
  assert.equal(json(community('orvantis-aircraft-velmora-weapons/manifest.json')).package_version, '1.0.1');
  await page.setViewportSize({ width: 1080, height: 680 });
  await screenshot('velmora-1080x680');
  await act('Tarsek', 'Weapons Patch', 'Uninstall', 'Not installed');
  assert.ok(!existsSync(community('orvantis-aircraft-tarsek-weapons')));
  assert.ok(existsSync(community('thirdparty-livery-example')), "another maker's package stays");
  logged(/uninstalled tarsek-weapons-patch/);
});
