import '../../tests/harness/fake-webview.js';
import { act, render, screen, within } from '@testing-library/react';
import { beforeEach, expect, it } from 'vitest';
import { allowed, busy, changed, component, noSimulator, notApplicable, ready, refused, type PlayedWebView } from '../e2e/fixtures';
import { App } from './App';
import type { ActionName, Availability, Status } from './model';

const webView = window as unknown as PlayedWebView;
beforeEach(() => { webView.posted.length = 0; });
const deliver = (data: unknown) => act(() => webView.deliver(data));
const start = (data: unknown) => { render(<App />); deliver(data); };
const card = () => screen.getByRole('article', { name: 'Velmora Camera System' });

const labels: Record<ActionName, string> = { install: '', uninstall: 'Uninstall', openFolder: 'Open folder', launch: 'Launch',
  stop: 'Stop', createShortcut: 'Create desktop shortcut' };
const primary: Record<Status, string> = { notInstalled: 'Install', updateAvailable: 'Update', installed: 'Reinstall' };
const answers: [string, Availability][] = [['allowed', allowed], ['refused', refused('Close it first.')], ['not applicable', notApplicable]];
const rows = (Object.keys(primary) as Status[]).flatMap((status) => (Object.keys(labels) as ActionName[]).flatMap((action) =>
  answers.map(([answer, availability]) => ({ name: `${status} ${action} ${answer}`, status, action, availability }))));

// Each action of each status, allowed, refused with its reason, or not applicable (not shown).
it.each(rows)('$name', ({ status, action, availability }) => {
  start(changed(ready(), (s) => {
    const c = component(s, 'orv-camera');
    c.status = status;
    for (const name of Object.keys(labels) as ActionName[]) c.actions[name] = name === action ? availability : allowed;
  }));
  const button = within(card()).queryByRole('button', { name: labels[action] || primary[status] });
  if (action !== 'install' && availability === notApplicable) return expect(button).toBeNull();
  expect(button!.getAttribute('aria-disabled')).toBe(availability.allowed ? null : 'true');
  if (availability.reason) expect(button).toHaveAccessibleDescription(availability.reason);
  if (availability.reason) expect(within(card()).getByText(availability.reason)).toBeVisible();
  button!.click();
  // After the refresh on load; uninstall asks first: its command is posted from the confirmation.
  expect(webView.posted.slice(1)).toEqual(availability.allowed && action !== 'uninstall' ? [{ type: action, componentId: 'orv-camera' }] : []);
});

it('posts each other command in its shape, and only that', () => {
  start(Object.assign(ready(), { notice: 'Camera System started.', error: 'Unable to open D:\\x' }));
  const clicks: [string | RegExp, object?, string?][] = [
    ['Documentation', { type: 'openLink', url: 'https://docs.orvantis.example/velmora/vtl-ima#cam-system' }],
    [/Website/, { type: 'openLink', url: 'https://www.orvantis.example/' }, 'link'],
    ['Dismiss notice', { type: 'dismissNotice' }], ['Dismiss error', { type: 'dismissError' }],
    ['Uninstall'], ['Keep it'], ['Uninstall'], ['Uninstall', { type: 'uninstall', componentId: 'velmora-weapons-patch' }],
    ['Settings'], [/MSFS 2020/, { type: 'selectSimulator', installationId: 'msfs2020-store' }, 'radio'],
    ['Reload', { type: 'reload' }],
    ['Privacy policy', { type: 'openLink', url: 'https://www.orvantis.example/privacy-policy/' }, 'link'],
    ['Uninstall Orvantis Hub…'], ['Uninstall Orvantis Hub', { type: 'uninstallApplication' }],
  ];
  for (const [name, message, role = 'button'] of clicks) {
    webView.posted.length = 0;
    const [enabled] = within(screen.queryByRole('dialog') ?? document.body).getAllByRole(role, { name })
      .filter((e) => !e.hasAttribute('aria-disabled'));
    act(() => enabled.click());
    expect(webView.posted, String(name)).toEqual(message ? [message] : []);
  }
  // The choice shown is the host's target until a snapshot says otherwise.
  expect(screen.getByRole('radio', { name: /MSFS 2024/ })).toBeChecked();
});

it('shows the operation with its progress, indeterminate at -1, and announces its start and end', () => {
  start(busy('orv-camera', 'update', 42, 'Downloading'));
  expect(screen.getByText('Updating Camera System started.')).toBeInTheDocument();
  expect(within(card()).getByRole('progressbar')).toHaveAttribute('aria-valuenow', '42');
  expect(within(card()).getByText('Downloading')).toBeVisible();
  deliver(busy('orv-camera', 'update', -1, 'Downloading'));
  expect(within(card()).getByRole('progressbar')).not.toHaveAttribute('aria-valuenow');
  deliver(ready());
  expect(screen.getByText('Updating Camera System ended.')).toBeInTheDocument();
});

it('asks for the first snapshot, takes it as JSON text too, and keeps it over anything that is not a snapshot', () => {
  start(JSON.stringify(ready()));
  expect(webView.posted).toEqual([{ type: 'refresh' }]);
  for (const data of ['{not json', '"text"', 42, null, [], { type: 'refresh' },
    changed(noSimulator(), (s) => { s.components[0].status = 'gone' as Status; }),
    changed(noSimulator(), (s) => { (s.operation as unknown as Record<string, unknown>).progress = '5'; }),
    changed(noSimulator(), (s) => { Reflect.deleteProperty(s.simulator, 'target'); })]) deliver(data);
  expect(screen.getByText('MSFS 2024 · Steam')).toBeVisible();
});
