;; name: forager
;; about: follows the food in the world: everyone out while the supply rises, gatherers called back when it is scarce
;;
;; Strategy. Food lying in the world decays if nobody fetches it, so this
;; rule base watches the world rather than the store:
;;   - while the world's food supply rises and is normal or high, and the
;;     store is not yet high, it sends everyone out (use_everyone_for_food
;;     sets the gathering share to 70);
;;   - the gathering share goes up whenever the supply is normal or high, and
;;     down when the supply is low, or when the store is high and still
;;     rising (beyond 1,500 units the colony would be rebuilt);
;;   - the colony's size is held in the middle of its range (about 350 ants):
;;     the reproducing share goes down when the colony is high and up when it
;;     is low, and is left alone in between.
;;
;; Each pass draws at most one conclusion per action line (see thrifty.clp
;; for how population_decided and food_decided see to that).

(deftemplate colony
	(slot population (allowed-symbols low stable high))
	(slot food_reserves (allowed-symbols low stable high))
	(slot change_FR (allowed-symbols increasing stable decreasing))
	(slot num_gathering_ants (allowed-symbols low normal high)))

(deftemplate world
	(slot food_supply (allowed-symbols low normal high))
	(slot change_FS (allowed-symbols increasing stable decreasing)))

; ---- Population line ----

(defrule too_many
	(declare (salience 40))
	(colony (population high))
	(not (population_decided))
	=>
	(assert (population_decided))
	(assert (lower_population)))

(defrule everyone_out
	(declare (salience 30))
	(world (change_FS increasing) (food_supply normal|high))
	(colony (food_reserves low|stable) (population stable))
	(not (population_decided))
	=>
	(assert (population_decided))
	(assert (use_everyone_for_food)))

(defrule too_few
	(declare (salience 10))
	(colony (population low))
	(not (population_decided))
	=>
	(assert (population_decided))
	(assert (raise_population)))

; ---- Food line ----

(defrule store_is_full
	(declare (salience 30))
	(colony (food_reserves high) (change_FR increasing))
	(not (food_decided))
	=>
	(assert (food_decided))
	(assert (lower_food_intake)))

(defrule follow_the_food
	(declare (salience 20))
	(world (food_supply normal|high))
	(not (food_decided))
	=>
	(assert (food_decided))
	(assert (raise_food_intake)))

(defrule call_them_back
	(declare (salience 10))
	(world (food_supply low))
	(not (food_decided))
	=>
	(assert (food_decided))
	(assert (lower_food_intake)))
