import '../../tests/harness/fake-webview.js';
import { act, render, screen, within } from '@testing-library/react';
import { beforeEach, expect, it } from 'vitest';
import { allowed, busy, changed, component, noSimulator, notApplicable, ready, type PlayedWebView } from '../e2e/fixtures';
import { App } from './App';
import { snapshotSchema } from './model';

const webView = window as unknown as PlayedWebView;
beforeEach(() => { webView.posted.length = 0; });
const deliver = (data: unknown) => act(() => webView.deliver(data));
const start = (data: unknown) => { render(<App />); deliver(data); };
const card = () => screen.getByRole('article', { name: 'Velmora Camera System' });
const strip = () => screen.getByRole('region', { name: 'Status' });
const slots = () => within(card()).getAllByRole('button').map((b) => `${b.textContent}${b.hasAttribute('aria-disabled') ? '-' : ''}`);

// Pressing and the pending state: also cardModel.test.ts, and the keyboard test in e2e/fake.spec.ts.
it('shows every slot of a card with its reason, and the update counts in the rail', () => {
  start(ready());
  expect(slots().join()).toBe('Read more,Update-,Uninstall-,Open folder,Launch-,Stop,Create desktop shortcut,Documentation');
  expect(within(card()).getByRole('button', { name: 'Update' })).toHaveAccessibleDescription('Close Camera System before updating it.');
  expect(screen.getByRole('navigation').textContent).toMatch(/All2 updates4 components.*Velmora1 update.*Tarsek1 update.*Quenby(?!.*update)/);
});

it('keeps a press pending until a snapshot answers it: one that changes the card, or the second after the post', () => {
  start(ready());
  const stopped = () => changed(ready(), (s) => {
    Object.assign(Object.assign(component(s, 'orv-camera'), { running: false }).actions, { launch: allowed, stop: notApplicable });
  });
  const press = (name: string) => act(() => within(card()).getByRole('button', { name }).click());
  press('Stop');
  deliver(ready()); // a tick sent before the host read the press
  press('Stop');
  for (const snapshot of [stopped(), stopped(), stopped()]) {
    deliver(snapshot);
    press('Launch');
  }
  const [stop, launch] = (['stop', 'launch'] as const).map((type) => ({ type, componentId: 'orv-camera' }));
  expect(webView.posted.slice(1)).toEqual([stop, launch, launch]);
});

it('posts each other command in its shape, and only that', () => {
  start(Object.assign(ready(), { notice: 'Camera System started.', error: 'Unable to open D:\\x' }));
  const clicks: [string | RegExp, object?, string?][] = [
    ['Documentation', { type: 'openLink', url: 'https://docs.orvantis.example/velmora/vtl-ima#cam-system' }],
    [/Website/, { type: 'openLink', url: 'https://www.orvantis.example/' }, 'link'],
    ['Dismiss notice', { type: 'dismissNotice' }], ['Dismiss error', { type: 'dismissError' }],
    ['Uninstall'], ['Keep it'], ['Uninstall'], ['Uninstall', { type: 'uninstall', componentId: 'velmora-weapons-patch' }],
    ['Settings'], [/MSFS 2020/, undefined, 'radio'], [/Custom/, undefined, 'radio'], [/MSFS 2024/, undefined, 'radio'],
    ['Reload', { type: 'reload' }], ['Copy support report', { type: 'copyDiagnostics' }],
    ['Privacy policy', { type: 'openLink', url: 'https://www.orvantis.example/privacy-policy/' }, 'link'],
    ['Uninstall Orvantis Hub…'], ['Uninstall Orvantis Hub', { type: 'uninstallApplication' }],
  ];
  for (const [name, message, role = 'button'] of clicks) {
    webView.posted.length = 0;
    const [enabled] = within(screen.queryByRole('dialog') ?? document.body).getAllByRole(role, { name })
      .filter((e) => role === 'radio' || !e.hasAttribute('aria-disabled'));
    act(() => enabled.click());
    expect(webView.posted, String(name)).toEqual(message ? [message] : []);
  }
  expect(screen.getByRole('radio', { name: /MSFS 2020/ })).toHaveAccessibleDescription(/Its Community folder was not found\.$/);
});

it('shows the operation in the strip: names with their aircraft, download figures, Cancel only when it can cancel', () => {
  start(changed(busy('orv-camera', 'update', 42, 'Downloading'), (s) =>
    Object.assign(s.operation, { bytesDone: 12_582_912, bytesTotal: 41_943_040, bytesPerSecond: 2_202_009, secondsLeft: 13 })));
  expect(screen.getByText('Updating Velmora · Camera System started.')).toBeInTheDocument();
  expect(within(strip()).getByRole('progressbar', { name: 'Updating Velmora · Camera System' })).toHaveAttribute('aria-valuenow', '42');
  expect(within(strip()).getByText('Downloading · 12.0 MB of 40.0 MB · 2.1 MB/s · about 13 s left')).toBeVisible();
  act(() => within(strip()).getByRole('button', { name: 'Cancel' }).click());
  expect(webView.posted.slice(1)).toEqual([{ type: 'cancelOperation' }]);
  deliver(busy('velmora-weapons-patch', 'uninstall', -1, ''));
  expect(within(strip()).getByRole('progressbar')).not.toHaveAttribute('aria-valuenow');
  expect(within(strip()).getByText('Starting…', { exact: true })).toBeVisible();
  expect(within(strip()).queryByRole('button', { name: 'Cancel' })).toBeNull();
  expect(within(strip()).getByText('An uninstall cannot be cancelled.')).toBeVisible();
  deliver(Object.assign(ready(), { error: 'x', update: { state: 'ready', version: '1.1.0', progress: 100, message: '' } }));
  expect(screen.getByText('Updating Velmora · Camera System ended.')).toBeInTheDocument();
  expect(within(strip()).getByRole('alert')).toHaveTextContent('x');
  expect(within(strip()).getByText('Orvantis Hub 1.1.0 installs after exit.')).toBeVisible();
});

it('reads unknown values as unknown, and says so when the hub sends what it cannot read', () => {
  start(JSON.stringify(changed(ready(), (s) => {
    Object.assign(s.components[1], { status: 'archived', kind: 'plugin' });
    s.update.state = 'paused' as 'ready';
  })));
  expect(webView.posted).toEqual([{ type: 'refresh' }]);
  expect(snapshotSchema.parse(noSimulator()), 'the fixture, as the host wrote it').toEqual(noSimulator());
  expect(within(card()).getByText('Status unknown')).toBeVisible();
  expect(within(card()).getByText('Component of an unknown kind')).toBeVisible();
  for (const [data, version] of [[changed(noSimulator(), (s) => { Reflect.deleteProperty(s.simulator, 'target'); }), 'Orvantis Hub 1.0.1'],
    [changed(noSimulator(), (s) => { (s.operation as unknown as Record<string, unknown>).progress = '5'; }), 'Orvantis Hub 1.0.1'],
    [changed(noSimulator(), (s) => { Reflect.deleteProperty(s.components[0], 'status'); }), 'Orvantis Hub 1.0.1'],
    [changed(noSimulator(), (s) => { Reflect.deleteProperty(s.operation, 'bytesDone'); }), 'Orvantis Hub 1.0.1'],
    ['{not json', 'The hub'], [ready(), '']] as const) {
    deliver(data);
    expect(screen.queryByRole('heading', { name: 'This interface does not match the hub' })?.nextSibling?.textContent ?? '')
      .toMatch(version ? new RegExp(`^${version} sent a state`) : /^$/);
  }
});
