import { expect, test, type Page } from '@playwright/test';
import type { Snapshot } from '../src/model';
import { busy, noSimulator, ready, steam2024 } from './fixtures';
import { deliver, lastPosted, openFake, review, sizes } from './harness';

const settings = (page: Page) => page.getByRole('button', { name: 'Settings' }).click();
const withChanges = (snapshot: Snapshot, change: (s: Snapshot) => void) => (change(snapshot), snapshot);

const states: { name: string; snapshot: () => Snapshot; show?: (page: Page) => Promise<unknown> }[] = [
  { name: 'no-simulator', snapshot: noSimulator },
  { name: 'no-simulator-settings', snapshot: noSimulator, show: settings },
  { name: 'catalog', snapshot: ready },
  { name: 'section-velmora-details', snapshot: ready, show: async (page) => {
    await page.getByRole('button', { name: /^Velmora/ }).click();
    await page.getByRole('button', { name: 'Read more about Camera System' }).click();
    await page.getByRole('button', { name: 'Show folder' }).click();
  } },
  { name: 'installing', snapshot: () => busy('tarsek-weapons-patch', 'update', 42, 'Downloading orvantis-tarsek-weapons-patch.zip') },
  { name: 'uninstalling-indeterminate', snapshot: () => busy('velmora-weapons-patch', 'uninstall', -1, 'Removing the old version') },
  { name: 'messages-simulator-running', snapshot: () => withChanges(ready(), (s) => Object.assign(s, {
    notice: 'Camera System started.', error: 'The Community folder cannot be found. Check Settings.',
    simulator: { ...s.simulator, running: true } })) },
  { name: 'settings-update-downloading', show: settings, snapshot: () => withChanges(ready(), (s) => {
    Object.assign(s.simulator, { customCommunityFolder: 'E:\\Flight\\Community', customCommunityAvailable: true });
    s.update = { state: 'downloading', version: '1.1.0', progress: 35, message: 'Downloading update 1.1.0...' };
  }) },
  { name: 'settings-update-ready-custom', show: settings, snapshot: () => withChanges(ready(), (s) => {
    const custom = { id: 'custom', family: 'custom', name: 'Custom folder', edition: '', communityFolder: 'E:\\Flight\\Community', available: true };
    Object.assign(s.simulator, { customCommunityFolder: custom.communityFolder, customCommunityAvailable: true, target: custom });
    s.update = { state: 'ready', version: '1.1.0', progress: 100, message: 'Update 1.1.0 is ready and will be installed after exit.' };
  }) },
  { name: 'confirm-uninstall', snapshot: ready, show: (page) => page.getByRole('button', { name: 'Uninstall' }).first().click() },
];

for (const size of sizes) {
  test(`every state at ${size.width}x${size.height}`, async ({ page }) => {
    await page.setViewportSize(size);
    for (const state of states) {
      await openFake(page);
      await deliver(page, state.snapshot());
      await state.show?.(page);
      await review(page, state.name);
    }
  });
}

test('every command is posted in its shape', async ({ page }) => {
  await openFake(page);
  expect(await lastPosted(page)).toEqual({ type: 'refresh' });
  await deliver(page, withChanges(ready(), (s) => { s.components[3].imageUrl = 'not-drawn.jpg'; }));
  await expect(page.locator('.card-picture').nth(3)).toHaveAttribute('src', 'images/placeholder.svg');
  const posts = async (click: () => Promise<unknown>, message: object) => {
    await click();
    expect(await lastPosted(page)).toEqual(message);
  };
  const velmora = page.getByRole('article').first();
  await velmora.getByRole('button', { name: 'Uninstall' }).click();
  await page.keyboard.press('Escape');
  await expect(page.getByRole('dialog')).toHaveCount(0);
  expect(await lastPosted(page)).toEqual({ type: 'refresh' });
  await velmora.getByRole('button', { name: 'Uninstall' }).click();
  await expect(page.getByRole('button', { name: 'Keep it' })).toBeFocused();
  await posts(() => page.getByRole('dialog').getByRole('button', { name: 'Uninstall' }).click(),
    { type: 'uninstall', componentId: 'velmora-weapons-patch' });
  await posts(() => velmora.getByRole('button', { name: 'Reinstall' }).click(), { type: 'install', componentId: 'velmora-weapons-patch' });
  await deliver(page, busy('velmora-weapons-patch', 'reinstall', 10, 'Downloading'));
  await expect(velmora.getByRole('progressbar')).toHaveAttribute('aria-valuenow', '10');
  await expect(page.getByText('Another operation is in progress.').first()).toBeVisible();
  await posts(() => velmora.getByRole('button', { name: 'Cancel' }).click(), { type: 'cancelOperation' });
  await deliver(page, withChanges(ready(), (s) => { s.components[1].running = false; s.components[1].actions.launch = { allowed: true, reason: '' }; }));
  await posts(() => page.getByRole('button', { name: 'Launch' }).click(), { type: 'launch', componentId: 'orv-camera' });
  await settings(page);
  await posts(() => page.getByRole('radio', { name: /MSFS 2020/ }).click(), { type: 'selectSimulator', installationId: 'msfs2020-store' });
  await expect(page.getByRole('radio', { name: new RegExp(steam2024.edition) })).toBeChecked();
  await posts(() => page.getByRole('button', { name: 'Choose folder…' }).click(), { type: 'chooseCommunityFolder' });
  await posts(() => page.getByRole('button', { name: 'Reload' }).click(), { type: 'reload' });
  await posts(() => page.getByRole('link', { name: 'Privacy policy' }).click(), { type: 'openLink', url: 'https://www.orvantis.example/privacy-policy/' });
  await page.getByRole('button', { name: 'Uninstall Orvantis Hub…' }).click();
  await posts(() => page.getByRole('button', { name: 'Uninstall Orvantis Hub', exact: true }).click(), { type: 'uninstallApplication' });
});
