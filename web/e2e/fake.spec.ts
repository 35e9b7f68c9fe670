import { expect, test, type Page } from '@playwright/test';
import { busy, changed, component, noSimulator, ready, type PlayedWebView } from './fixtures';
import { openFake, review, sizes } from './harness';

const settings = (page: Page) => page.getByRole('button', { name: 'Settings' }).click();
const posted = (page: Page) => page.evaluate(() => (window as unknown as PlayedWebView).posted.slice(1));
const deliver = (page: Page, snapshot: object) => page.evaluate((data) => (window as unknown as PlayedWebView).deliver(data), snapshot);
const longPath = 'D:\\SteamLibrary\\steamapps\\common\\MicrosoftFlightSimulator2024\\Packages\\Community\\orvantis-aircraft-quenby-weapons\\SimObjects\\Airplanes\\Quenby\\model';

const states: { name: string; snapshot: typeof ready; show?: (page: Page) => Promise<unknown> }[] = [
  { name: 'no-simulator', snapshot: noSimulator },
  { name: 'no-simulator-settings', snapshot: noSimulator, show: settings },
  { name: 'catalog', snapshot: () => changed(ready(), (s) => { s.components[3].imageUrl = 'not-drawn.jpg'; }),
    show: (page) => expect(page.locator('.card-picture').nth(3)).toHaveAttribute('src', 'images/placeholder.svg') },
  { name: 'section-velmora-details', snapshot: ready, show: async (page) => {
    for (const name of [/^Velmora/, 'Read more about Camera System', 'Show folder']) await page.getByRole('button', { name }).click();
  } },
  { name: 'strip-download-settings', show: settings, snapshot: () => changed(busy('tarsek-weapons-patch', 'update', 42,
    'Downloading orvantis-tarsek-weapons-patch.zip'), (s) => Object.assign(s.operation,
    { bytesDone: 17_616_076, bytesTotal: 41_943_040, bytesPerSecond: 3_250_585, secondsLeft: 8 })) },
  { name: 'uninstalling-indeterminate-messages-simulator-running', snapshot: () => changed(busy('velmora-weapons-patch', 'uninstall', -1,
    'Removing the old version'), (s) => Object.assign(s, { notice: 'Camera System started.',
    error: 'The Community folder cannot be found. Check Settings.', simulator: { ...s.simulator, running: true } })) },
  { name: 'error-from-low-card', snapshot: () => Object.assign(ready(), { error: `Unable to open ${longPath}: Access is denied` }),
    show: async (page) => {
      await page.locator('.content').evaluate((content) => content.scrollTo(0, content.scrollHeight));
      await expect(page.getByRole('alert')).toBeInViewport();
      await expect(page.getByRole('button', { name: 'Dismiss error' })).toBeInViewport();
    } },
  { name: 'support-notice', show: settings, snapshot: () => Object.assign(ready(), { notice: 'Support report copied to the clipboard.' }) },
  { name: 'settings-update-ready-custom', show: settings, snapshot: () => changed(ready(), (s) => {
    const custom = { id: 'custom', family: 'custom', name: 'Custom folder', edition: '', communityFolder: 'E:\\Flight\\Community', available: true };
    Object.assign(s.simulator, { customCommunityFolder: custom.communityFolder, customCommunityAvailable: true, target: custom });
    s.update = { state: 'ready', version: '1.1.0', progress: 100, message: 'Update 1.1.0 is ready and will be installed after exit.' };
  }) },
  { name: 'mismatch', snapshot: () => changed(ready(), (s) => { Reflect.deleteProperty(s, 'operation'); }) },
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
    // The last state's confirmation starts on Keep it; Escape closes it unconfirmed, back on its opener.
    await expect(page.getByRole('button', { name: 'Keep it' })).toBeFocused();
    await page.keyboard.press('Escape');
    await expect(page.getByRole('dialog')).toHaveCount(0);
    await expect(page.getByRole('button', { name: 'Uninstall' }).first()).toBeFocused();
    expect(await posted(page)).toEqual([]);
  });
}

test('install, cancel, install again, be refused, then pass over the installations, with the keyboard only', async ({ page }) => {
  const idle = () => changed(ready(), (s) => { component(s, 'tarsek-weapons-patch').status = 'notInstalled'; });
  const running = (action: string, cancellable: boolean) => changed(busy('tarsek-weapons-patch', action, 10, 'Downloading'), (s) => {
    Object.assign(s.operation, { cancellable });
    component(s, 'tarsek-weapons-patch').status = 'notInstalled';
  });
  await openFake(page, idle());
  const strip = page.getByRole('region', { name: 'Status' });
  // Empty live regions stay in the accessibility tree: one that appears with its text may go unannounced.
  for (const role of ['alert', 'status'] as const) await expect(strip.getByRole(role)).toBeEmpty();
  const card = page.getByRole('article', { name: 'Tarsek Weapons Patch' });
  const install = card.getByRole('button', { name: 'Install', exact: true });
  await card.getByRole('button', { name: /^Read more/ }).focus();
  await page.keyboard.press('Tab');
  // Cancelled in the first round; in the second, activation takes Cancel away and its refusal holds the focus.
  for (const round of [1, 2]) {
    await expect(install, `round ${round}`).toBeFocused();
    for (const key of ['Enter', 'Enter']) await page.keyboard.press(key);
    await deliver(page, running('install', true));
    await expect(strip.getByRole('button', { name: 'Cancel' })).toBeFocused();
    if (round === 1) await page.keyboard.press('Enter');
    else await deliver(page, running('install', false));
    if (round === 2) await expect(strip.getByText('This step cannot be cancelled.')).toBeFocused();
    await deliver(page, Object.assign(idle(), { notice: 'Weapons Patch: operation cancelled, nothing was changed.' }));
  }
  await expect(install).toBeFocused();
  // A refused install hands nothing over: the uninstall confirmed next keeps the focus on its opener.
  await page.keyboard.press('Enter');
  await deliver(page, Object.assign(idle(), { error: 'Wait for the current operation to finish.' }));
  for (const key of ['Tab', 'Enter', 'Tab', 'Enter']) await page.keyboard.press(key);
  await deliver(page, running('uninstall', false));
  await expect(card.getByRole('button', { name: 'Uninstall' })).toBeFocused();
  // The arrow keys move between installations without choosing; Enter on one not found chooses nothing;
  // Tab back into the group lands on the checked one; Space or Enter chooses one found.
  await page.getByRole('button', { name: 'Settings' }).click();
  await page.getByRole('radio', { name: /MSFS 2024/ }).focus();
  for (const key of ['ArrowDown', 'ArrowDown', 'ArrowUp', 'Enter']) await page.keyboard.press(key);
  await expect(page.getByRole('radio', { name: /MSFS 2020/ })).toBeFocused();
  for (const key of ['Tab', 'Shift+Tab']) await page.keyboard.press(key);
  await expect(page.getByRole('radio', { name: /MSFS 2024/ })).toBeFocused();
  await deliver(page, changed(ready(), (s) => { s.simulator.installations[1].available = true; }));
  for (const key of ['ArrowDown', 'Space', 'Enter']) await page.keyboard.press(key);
  const [press, select] = [{ type: 'install', componentId: 'tarsek-weapons-patch' }, { type: 'selectSimulator', installationId: 'msfs2020-store' }];
  expect(await posted(page)).toEqual([press, { type: 'cancelOperation' }, press, press,
    { type: 'uninstall', componentId: 'tarsek-weapons-patch' }, select, select]);
});
