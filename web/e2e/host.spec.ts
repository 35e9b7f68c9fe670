// The interface driving the real controller: the headless host under Wine behind the bridge, the
// local HTTPS test server serving a slow package. Whole journeys are driven by the demo check.
import { expect as quickExpect, test } from '@playwright/test';
import { execFileSync, spawn, type ChildProcess } from 'node:child_process';
import { once } from 'node:events';
import { mkdirSync, readFileSync, rmSync } from 'node:fs';
import { join } from 'node:path';
import { createInterface } from 'node:readline';
import { buildFolder, repository, review, uiFolder } from './harness';

const expect = quickExpect.configure({ timeout: 60_000 });
const root = join(buildFolder, 'e2e-host');
const folder = (name: string) => (mkdirSync(join(root, name), { recursive: true }), join(root, name));
const windows = (name: string) => `Z:${folder(name).replaceAll('/', '\\')}`;
const harness = (name: string) => join(repository, 'tests/harness', name);
let bridge: ChildProcess | undefined;
test.afterEach(async () => { if (bridge?.kill('SIGTERM')) await once(bridge, 'exit'); });

test('choose a custom folder, install into it with progress and the busy reason elsewhere, cancel', async ({ page }) => {
  test.setTimeout(300_000);
  rmSync(root, { recursive: true, force: true });
  execFileSync('sh', [harness('https-server.sh'), 'start', buildFolder]);
  const ports = Object.fromEntries(readFileSync(join(buildFolder, 'https-server/ports'), 'utf8').trim().split('\n').map((l) => l.split('=')));
  const control = `http://127.0.0.1:${ports.HUB_TEST_HTTPS_CONTROL_PORT}/sessions`;
  const session = await (await fetch(control, { method: 'POST' })).text();
  const slowPackage = encodeURIComponent('/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip');
  expect((await fetch(`${control}/${session}/answers?path=${slowPackage}&generate=${2 ** 31}`, { method: 'PUT' })).ok).toBe(true);
  const origin = `https://localhost:${ports.HUB_TEST_HTTPS_PORT}/t/${session}`;
  bridge = spawn('node', [harness('bridge.mjs'), '--ui', uiFolder, '--', 'sh', harness('wine-run.sh'), buildFolder,
    join(buildFolder, 'tests/hub_headless_host.exe'), '--web-origin', origin, '--documentation-origin', origin,
    '--pick-folder', windows('custom/Community'), '--local-app-data', windows('local'), '--roaming-app-data', windows('roaming')],
  { stdio: ['ignore', 'pipe', 'inherit'] });
  const [line] = await once(createInterface({ input: bridge.stdout! }), 'line');
  await page.setViewportSize({ width: 1280, height: 800 });
  await page.goto(String(line).replace('bridge listening on ', ''));

  await page.getByRole('button', { name: 'Settings' }).click();
  await page.getByRole('button', { name: 'Choose folder…' }).click();
  await expect(page.getByRole('radio', { name: /Custom folder/ })).toBeChecked();
  await expect(page.getByRole('status').first()).toContainText('custom\\Community');
  await review(page, 'host-custom-folder');
  await page.getByRole('navigation', { name: 'Sections' }).getByRole('button', { name: /^All/ }).click();
  const card = page.getByRole('article', { name: 'Velmora Weapons Patch' });
  await card.getByRole('button', { name: 'Install' }).click();
  await expect(card.getByRole('progressbar')).toHaveAttribute('aria-valuenow', /^[1-9]/);
  await expect(page.getByRole('article', { name: 'Tarsek Weapons Patch' })).toContainText('Another operation is in progress.');
  await review(page, 'host-downloading');
  await card.getByRole('button', { name: 'Cancel' }).click();
  await expect(page.getByText('Weapons Patch: operation cancelled, nothing was changed.')).toBeVisible();
});
