import { act, render, screen, within } from '@testing-library/react';
import userEvent from '@testing-library/user-event';
import { afterEach, beforeEach, expect, it, vi } from 'vitest';
import { allowed, busy, component, notApplicable, ready, refused, noSimulator } from '../e2e/fixtures';
import { App } from './App';
import type { ActionName, Availability, Snapshot, Status } from './model';
import { parseSnapshot } from './model';

const posted = vi.fn();
const listeners = new Set<(event: { data: unknown }) => void>();
beforeEach(() => {
  posted.mockReset();
  listeners.clear();
  Object.assign(window, {
    chrome: { webview: { postMessage: posted, addEventListener: (_: string, l: never) => listeners.add(l), removeEventListener: () => {} } },
  });
});
afterEach(() => Reflect.deleteProperty(window, 'chrome'));

const deliver = (data: unknown) => act(() => listeners.forEach((listener) => listener({ data })));
const card = () => screen.getByRole('article', { name: 'Velmora Camera System' });

const labels: Record<ActionName, string> = {
  install: '', uninstall: 'Uninstall', openFolder: 'Open folder', launch: 'Launch', stop: 'Stop',
  createShortcut: 'Create desktop shortcut',
};
const primary: Record<Status, string> = { notInstalled: 'Install', updateAvailable: 'Update', installed: 'Reinstall' };
const answers: [string, Availability][] = [['allowed', allowed], ['refused', refused('Close it first.')], ['not applicable', notApplicable]];
const rows = (Object.keys(primary) as Status[]).flatMap((status) =>
  (Object.keys(labels) as ActionName[]).flatMap((action) =>
    answers.map(([answer, availability]) => ({ name: `${status} ${action} ${answer}`, status, action, availability }))));

it.each(rows)('$name', ({ status, action, availability }) => {
  render(<App />);
  const s = ready();
  const c = component(s, 'orv-camera');
  c.status = status;
  Object.assign(c.actions, { install: allowed, uninstall: allowed, openFolder: allowed, launch: allowed, stop: allowed, createShortcut: allowed });
  c.actions[action] = availability;
  deliver(s);
  const button = within(card()).queryByRole('button', { name: labels[action] || primary[status] });
  if (action !== 'install' && availability === notApplicable) return expect(button).toBeNull();
  if (availability.allowed) expect(button).not.toHaveAttribute('aria-disabled');
  else expect(button).toHaveAttribute('aria-disabled', 'true');
  if (availability.reason) expect(button).toHaveAccessibleDescription(availability.reason);
  if (availability.reason) expect(within(card()).getByText(availability.reason)).toBeVisible();
  if (!availability.allowed) {
    posted.mockClear();
    button!.click();
    expect(posted).not.toHaveBeenCalled();
  }
});

it('asks for the first snapshot and posts each command in its shape', async () => {
  render(<App />);
  expect(posted).toHaveBeenCalledWith({ type: 'refresh' });
  const s = ready();
  Object.assign(s, { notice: 'Camera System started.', error: 'Unable to open D:\\x' });
  deliver(JSON.stringify(s));
  const user = userEvent.setup();
  const clicks: [string, object][] = [
    ['Update', { type: 'install', componentId: 'tarsek-weapons-patch' }],
    ['Stop', { type: 'stop', componentId: 'orv-camera' }],
    ['Create desktop shortcut', { type: 'createShortcut', componentId: 'orv-camera' }],
    ['Open folder', { type: 'openFolder', componentId: 'velmora-weapons-patch' }],
    ['Documentation', { type: 'openLink', url: 'https://docs.orvantis.example/velmora/vtl-ima#cam-system' }],
    ['Dismiss notice', { type: 'dismissNotice' }],
    ['Dismiss error', { type: 'dismissError' }],
  ];
  for (const [name, message] of clicks) {
    const [enabled] = screen.getAllByRole('button', { name }).filter((b) => !b.hasAttribute('aria-disabled'));
    await user.click(enabled);
    expect(posted).toHaveBeenLastCalledWith(message);
  }
  await user.click(screen.getByRole('link', { name: /Website/ }));
  expect(posted).toHaveBeenLastCalledWith({ type: 'openLink', url: 'https://www.orvantis.example/' });
});

it('announces the start and the end of an operation', () => {
  render(<App />);
  deliver(busy('orv-camera', 'update', -1, 'Downloading'));
  expect(screen.getByText('Updating Camera System started.')).toBeInTheDocument();
  expect(screen.getByRole('progressbar')).not.toHaveAttribute('aria-valuenow');
  deliver(ready());
  expect(screen.getByText('Updating Camera System ended.')).toBeInTheDocument();
});

it('ignores what is not a snapshot and keeps the last good one', () => {
  render(<App />);
  deliver(noSimulator());
  const broken = (change: (s: Snapshot) => void) => {
    const s = noSimulator();
    change(s);
    return s;
  };
  const malformed = ['{not json', '"text"', 42, null, [], { type: 'refresh' },
    broken((s) => { s.components[0].status = 'gone' as Status; }),
    broken((s) => { (s.operation as unknown as Record<string, unknown>).progress = '5'; }),
    broken((s) => { Reflect.deleteProperty(s.simulator, 'target'); })];
  for (const data of malformed) {
    expect(parseSnapshot(data)).toBeNull();
    deliver(data);
  }
  expect(screen.getByText('No simulator selected')).toBeVisible();
  expect(screen.queryByRole('alert')).toBeNull();
});
