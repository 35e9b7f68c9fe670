import { expect, it } from 'vitest';
import { allowed, component, notApplicable, ready, refused } from '../e2e/fixtures';
import { cardModel } from './cardModel';
import type { ActionName, Component } from './model';

const card = (id: string, actions: Partial<Component['actions']>) => { const c = component(ready(), id); return { ...c, actions: { ...c.actions, ...actions } }; };
const [busy, updating, uninstalling] = ['Another operation is in progress.', 'Close Camera System before updating it.',
  'Close Camera System before uninstalling it.'];
const application = 'install uninstall openFolder launch stop createShortcut';
const rows: [name: string, card: Component, pending: ActionName | null, slots: string, allowed: string, reasons: string[]][] = [
  ['a package keeps three slots, none applying', card('quenby-weapons-patch', { install: notApplicable }), null, 'install uninstall openFolder', '', []],
  ['Launch and Stop keep a slot each', card('orv-camera', { launch: notApplicable, stop: allowed }), null, application,
    'openFolder stop createShortcut', [updating, uninstalling]],
  ['a press waits, and the card with it', card('orv-camera', { launch: allowed }), 'launch', application, '', [updating, uninstalling]],
  ['a reason refusing several is told once', card('orv-camera', { install: refused(busy), uninstall: refused(busy),
    createShortcut: refused(busy) }), null, application, 'openFolder stop', [busy]],
];

it.each(rows)('%s', (_, component, pending, slots, enabled, reasons) => {
  const model = cardModel(component, pending);
  expect([model.slots.map((s) => s.action).join(' '), model.slots.filter((s) => s.allowed).map((s) => s.action).join(' ')]).toEqual([slots, enabled]);
  expect(model.reasons).toEqual(reasons);
  expect(model.slots.filter((s) => s.pending).map((s) => s.action)).toEqual(pending ? [pending] : []);
  for (const slot of model.slots) expect(model.reasons[slot.reason] ?? '').toBe(slot.allowed ? '' : component.actions[slot.action].reason);
});
