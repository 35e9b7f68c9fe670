import { expect, test, type Page } from '@playwright/test';
import { busy, changed, noSimulator, ready, type PlayedWebView } from './fixtures';
import { openFake, review, sizes } from './harness';

const settings = (page: Page) => page.getByRole('button', { name: 'Settings' }).click();

const states: { name: string; snapshot: typeof ready; show?: (page: Page) => Promise<unknown> }[] = [
  { name: 'no-simulator', snapshot: noSimulator },
  { name: 'no-simulator-settings', snapshot: noSimulator, show: settings },
  { name: 'catalog', snapshot: () => changed(ready(), (s) => { s.components[3].imageUrl = 'not-drawn.jpg'; }),
    show: (page) => expect(page.locator('.card-picture').nth(3)).toHaveAttribute('src', 'images/placeholder.svg') },
  { name: 'section-velmora-details', snapshot: ready, show: async (page) => {
    for (const name of [/^Velmora/, 'Read more about Camera System', 'Show folder']) await page.getByRole('button', { name }).click();
  } },
  { name: 'installing', snapshot: () => busy('tarsek-weapons-patch', 'update', 42, 'Downloading orvantis-tarsek-weapons-patch.zip') },
  { name: 'uninstalling-indeterminate-messages-simulator-running', snapshot: () => changed(busy('velmora-weapons-patch', 'uninstall', -1,
    'Removing the old version'), (s) => Object.assign(s, { notice: 'Camera System started.',
    error: 'The Community folder cannot be found. Check Settings.', simulator: { ...s.simulator, running: true } })) },
  { name: 'settings-update-downloading', show: settings, snapshot: () => changed(ready(), (s) => {
    Object.assign(s.simulator, { customCommunityFolder: 'E:\\Flight\\Community', customCommunityAvailable: true });
    s.update = { state: 'downloading', version: '1.1.0', progress: 35, message: 'Downloading update 1.1.0...' };
  }) },
  { name: 'settings-update-ready-custom', show: settings, snapshot: () => changed(ready(), (s) => {
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
      await openFake(page, state.snapshot());
      await state.show?.(page);
      await review(page, state.name);
    }
    // The last state's confirmation starts on Keep it, and Escape closes it unconfirmed.
    await expect(page.getByRole('button', { name: 'Keep it' })).toBeFocused();
    await page.keyboard.press('Escape');
    await expect(page.getByRole('dialog')).toHaveCount(0);
    expect(await page.evaluate(() => (window as unknown as PlayedWebView).posted)).toEqual([{ type: 'refresh' }]);
  });
}
